// The report as one JSON object, written with Qt's JSON classes.
#include "json_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <iostream>

namespace {

QJsonValue Number(double value) {
    // JSON has no infinity or NaN: such values are written as null.
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue();
}

QJsonValue Number(const std::optional<double>& value) {
    return value ? Number(*value) : QJsonValue();
}

QJsonArray Faces(const std::vector<foundFace>& faces) {
    QJsonArray list;
    for (const foundFace& f : faces) list.append(QJsonArray{f.index, Number(f.distance)});
    return list;
}

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QJsonObject Params(const PCAParameter& p, int trainPerPerson,
                   morlin::Method method = morlin::Method::Designed) {
    return QJsonObject{
        {"method", QString::fromStdString(morlin::MethodName(method))},
        {"train", trainPerPerson},
        {"kernel", p.isKernel ? Text(kernelNames[static_cast<size_t>(p.kernelType)])
                              : QStringLiteral("none")},
        {"gamma", p.gamma},
        {"coef0", p.coef0},
        {"degree", p.degree},
        {"components", p.componentNum},
        {"distance", Text(MeasureName(p.distanceType))},
        {"threshold", Number(p.threshold)},
    };
}

QJsonObject Verification(const Report& report) {
    const SortedComparisons& v = report.verification;
    const ErrorRates at = v.At(report.param.threshold);
    return QJsonObject{{"threshold", Number(report.param.threshold)},
                       {"fmr", Number(at.fmr)},
                       {"fnmr", Number(at.fnmr)},
                       {"eer", Number(v.EqualErrorRate())},
                       {"fnmr_at_fmr_1pct", Number(v.FnmrAtFmr(0.01))},
                       {"fnmr_at_fmr_01pct", Number(v.FnmrAtFmr(0.001))},
                       {"genuine", static_cast<qint64>(v.genuine.size())},
                       {"impostor", static_cast<qint64>(v.impostor.size())}};
}

QJsonObject Identification(const Report& report) {
    const OpenSetSearches& s = report.identification;
    const IdentificationRates at = s.At(report.param.threshold);
    return QJsonObject{{"mated", static_cast<qint64>(s.Mated())},
                       {"non_mated", static_cast<qint64>(s.NonMated())},
                       {"rank1", Number(s.MatedRank1())},
                       {"threshold", Number(report.param.threshold)},
                       {"fpir", Number(at.fpir)},
                       {"fnir", Number(at.fnir)},
                       {"fnir_at_fpir_1pct", Number(s.FnirAtFpir(0.01))},
                       {"fnir_at_fpir_5pct", Number(s.FnirAtFpir(0.05))},
                       {"fnir_at_fpir_10pct", Number(s.FnirAtFpir(0.10))}};
}

QJsonObject SearchObject(const SearchResult& search, int trainPerPerson) {
    QJsonArray top;
    for (const SearchScore& score : search.top) {
        QJsonArray folds;
        for (double r : score.foldRank1) folds.append(r);
        QJsonObject entry{{"params", Params(score.param, trainPerPerson)},
                          {"mean_rank1", score.meanRank1},
                          {"fold_rank1", folds}};
        if (search.goal == SearchGoal::Identification)
            entry["fnir_at_fpir"] = Number(score.fnirAtFpir);
        top.append(entry);
    }
    QJsonObject object{
        {"goal", search.goal == SearchGoal::Identification ? QStringLiteral("identification")
                                                           : QStringLiteral("rank1")},
        {"chosen", Params(search.chosen.param, trainPerPerson)},
        {"top", top},
        {"seconds", search.seconds}};
    if (search.goal == SearchGoal::Identification) object["fpir_target"] = search.fpirTarget;
    return object;
}

}  // namespace

void WriteJsonReport(const EvalOptions& options, const Report& report) {
    const FaceDataset& dataset = report.dataset;
    const Evaluation& e = report.evaluation;
    QJsonArray gallery;
    for (const FaceImage& image : dataset.gallery)
        gallery.append(QJsonObject{{"person", QString::fromStdString(DisplayName(image.person))},
                                   {"file", QString::fromStdString(DisplayName(image.file))}});
    QJsonArray probes;
    for (size_t i = 0; i < dataset.probes.size(); ++i)
        probes.append(
            QJsonObject{{"person", QString::fromStdString(DisplayName(dataset.probes[i].person))},
                        {"file", QString::fromStdString(DisplayName(dataset.probes[i].file))},
                        {"mated", dataset.IsEnrolled(dataset.probes[i].person)},
                        {"ranked", Faces(e.probes[i].ranked)},
                        {"matches", Faces(e.probes[i].matches)}});
    const QJsonObject summary{{"rank1", e.rank1},
                              {"correct_match_rate", e.correctMatchRate},
                              {"false_match_rate", e.falseMatchRate},
                              {"train_ms", e.trainMs},
                              {"probe_ms", e.probeMs}};
    QJsonObject root{{"params", Params(report.param, options.trainPerPerson, report.method)},
                     {"gallery", gallery},
                     {"probes", probes},
                     {"summary", summary},
                     {"verification", Verification(report)}};
    if (report.openSet) {
        root["open_set"] = options.openSet->half == OpenSetHalf::Odd ? QStringLiteral("odd")
                           : options.openSet->half == OpenSetHalf::Even
                               ? QStringLiteral("even")
                               : QStringLiteral("random:%1").arg(options.openSet->seed);
    }
    if (report.openSet || report.fpirCalibration) root["identification"] = Identification(report);
    if (report.fmrCalibration) {
        const FmrCalibration& c = *report.fmrCalibration;
        root["calibration"] = QJsonObject{{"target_fmr", c.target},
                                          {"threshold", Number(c.threshold)},
                                          {"impostors", static_cast<qint64>(c.impostors)},
                                          {"achieved_fmr", Number(report.achievedFmr.fmr)},
                                          {"achieved_fnmr", Number(report.achievedFmr.fnmr)},
                                          {"note", QString::fromStdString(c.note)}};
    }
    if (report.fpirCalibration) {
        const FpirCalibration& c = *report.fpirCalibration;
        root["calibration_fpir"] =
            QJsonObject{{"target_fpir", c.target},
                        {"threshold", Number(c.threshold)},
                        {"stranger_searches", static_cast<qint64>(c.strangerSearches)},
                        {"mated_searches", static_cast<qint64>(c.matedSearches)},
                        {"expected_fpir", Number(c.expected.fpir)},
                        {"expected_fnir", Number(c.expected.fnir)},
                        {"achieved_fpir", Number(report.achievedFpir.fpir)},
                        {"achieved_fnir", Number(report.achievedFpir.fnir)},
                        {"note", QString::fromStdString(c.note)}};
    }
    if (report.search) root["search"] = SearchObject(*report.search, options.trainPerPerson);
    std::cout << QJsonDocument(root).toJson(QJsonDocument::Compact).toStdString() << "\n";
}
