// morlin-eval: measures the recognizer module on a face database, using the
// library exactly as a host does (its public header and exported class).
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <iostream>

#include "eval_options.h"
#include "evaluation.h"
#include "face_dataset.h"

namespace {

constexpr int usageError = 2;

QJsonValue Number(double value) {
    // JSON has no infinity or NaN: such distances are written as null.
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue();
}

QJsonArray Faces(const std::vector<foundFace>& faces) {
    QJsonArray list;
    for (const foundFace& f : faces) list.append(QJsonArray{f.index, Number(f.distance)});
    return list;
}

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QJsonObject Params(const EvalOptions& options) {
    const PCAParameter& p = options.param;
    return QJsonObject{
        {"train", options.trainPerPerson},
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

void WriteJson(const EvalOptions& options, const FaceDataset& dataset, const Evaluation& e) {
    QJsonArray gallery;
    for (const FaceImage& image : dataset.gallery)
        gallery.append(QJsonObject{{"person", QString::fromStdString(DisplayName(image.person))},
                                   {"file", QString::fromStdString(DisplayName(image.file))}});
    QJsonArray probes;
    for (size_t i = 0; i < dataset.probes.size(); ++i)
        probes.append(QJsonObject{{"person", QString::fromStdString(DisplayName(dataset.probes[i].person))},
                                  {"file", QString::fromStdString(DisplayName(dataset.probes[i].file))},
                                  {"ranked", Faces(e.probes[i].ranked)},
                                  {"matches", Faces(e.probes[i].matches)}});
    const QJsonObject summary{{"rank1", e.rank1},
                              {"correct_match_rate", e.correctMatchRate},
                              {"false_match_rate", e.falseMatchRate},
                              {"train_ms", e.trainMs},
                              {"probe_ms", e.probeMs}};
    const QJsonObject root{{"params", Params(options)},
                           {"gallery", gallery},
                           {"probes", probes},
                           {"summary", summary}};
    std::cout << QJsonDocument(root).toJson(QJsonDocument::Compact).toStdString() << "\n";
}

void WriteText(const FaceDataset& dataset, const Evaluation& e) {
    std::printf("gallery images        %zu\n", dataset.gallery.size());
    std::printf("probe images          %zu\n", dataset.probes.size());
    std::printf("rank-1 accuracy       %.4f\n", e.rank1);
    std::printf("correct match rate    %.4f\n", e.correctMatchRate);
    std::printf("false match rate      %.4f\n", e.falseMatchRate);
    std::printf("training              %.1f ms\n", e.trainMs);
    std::printf("recognition per probe %.3f ms\n", e.probeMs);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::string error;
    const std::optional<EvalOptions> options = ParseEvalOptions(argc, argv, error);
    if (!options) {
        if (error.empty()) {
            std::cout << EvalUsage();
            return 0;
        }
        std::cerr << "morlin-eval: " << error << "\n" << EvalUsage();
        return usageError;
    }
    FaceDataset dataset;
    if (!LoadFaceDataset(options->dataset, options->trainPerPerson, dataset, error)) {
        std::cerr << "morlin-eval: " << error << "\n";
        return usageError;
    }
    const Evaluation evaluation = Evaluate(dataset, options->param);
    if (options->json)
        WriteJson(*options, dataset, evaluation);
    else
        WriteText(dataset, evaluation);
    return 0;
}
