// morlin-eval: measures the recognizer module on a face database, using the
// library as a host does (its public header and exported class). It reports
// rank-1 and verification figures, and can choose the threshold (--calibrate)
// and the parameters (--search) from the gallery alone.
#include <QApplication>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <vector>

#include "cross_validation.h"
#include "eval_options.h"
#include "evaluation.h"
#include "face_dataset.h"
#include "parameter_search.h"
#include "plot.h"
#include "verification.h"

namespace {

constexpr int usageError = 2;

// The middle value; of an even count, the mean of the two middle ones.
double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

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

QJsonObject Params(const PCAParameter& p, int trainPerPerson) {
    return QJsonObject{
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

// What the run found beyond the per-probe rankings.
struct Report {
    SortedComparisons verification{Comparisons{}};
    std::optional<SearchResult> search;
    struct Calibration {
        double targetFmr = 0.0;
        std::optional<double> threshold;
        ErrorRates achieved;
        std::string note;
    };
    std::optional<Calibration> calibration;
};

std::string Rate(const std::optional<double>& value) {
    if (!value) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", *value);
    return text;
}

void WriteJson(const EvalOptions& options, const PCAParameter& param, const FaceDataset& dataset,
               const Evaluation& e, const Report& report) {
    QJsonArray gallery;
    for (const FaceImage& image : dataset.gallery)
        gallery.append(QJsonObject{{"person", QString::fromStdString(DisplayName(image.person))},
                                   {"file", QString::fromStdString(DisplayName(image.file))}});
    QJsonArray probes;
    for (size_t i = 0; i < dataset.probes.size(); ++i)
        probes.append(
            QJsonObject{{"person", QString::fromStdString(DisplayName(dataset.probes[i].person))},
                        {"file", QString::fromStdString(DisplayName(dataset.probes[i].file))},
                        {"ranked", Faces(e.probes[i].ranked)},
                        {"matches", Faces(e.probes[i].matches)}});
    const QJsonObject summary{{"rank1", e.rank1},
                              {"correct_match_rate", e.correctMatchRate},
                              {"false_match_rate", e.falseMatchRate},
                              {"train_ms", e.trainMs},
                              {"probe_ms", e.probeMs}};
    const SortedComparisons& v = report.verification;
    const ErrorRates at = v.At(param.threshold);
    QJsonObject root{
        {"params", Params(param, options.trainPerPerson)},
        {"gallery", gallery},
        {"probes", probes},
        {"summary", summary},
        {"verification", QJsonObject{{"threshold", Number(param.threshold)},
                                     {"fmr", Number(at.fmr)},
                                     {"fnmr", Number(at.fnmr)},
                                     {"eer", Number(v.EqualErrorRate())},
                                     {"fnmr_at_fmr_1pct", Number(v.FnmrAtFmr(0.01))},
                                     {"fnmr_at_fmr_01pct", Number(v.FnmrAtFmr(0.001))},
                                     {"genuine", static_cast<qint64>(v.genuine.size())},
                                     {"impostor", static_cast<qint64>(v.impostor.size())}}}};
    if (report.calibration) {
        const Report::Calibration& c = *report.calibration;
        root["calibration"] = QJsonObject{{"target_fmr", c.targetFmr},
                                          {"threshold", Number(c.threshold)},
                                          {"achieved_fmr", Number(c.achieved.fmr)},
                                          {"achieved_fnmr", Number(c.achieved.fnmr)},
                                          {"note", QString::fromStdString(c.note)}};
    }
    if (report.search) {
        QJsonArray top;
        for (const SearchScore& score : report.search->top) {
            QJsonArray folds;
            for (double r : score.foldRank1) folds.append(r);
            top.append(QJsonObject{{"params", Params(score.param, options.trainPerPerson)},
                                   {"mean_rank1", score.meanRank1},
                                   {"fold_rank1", folds}});
        }
        root["search"] =
            QJsonObject{{"chosen", Params(report.search->chosen.param, options.trainPerPerson)},
                        {"top", top},
                        {"seconds", report.search->seconds}};
    }
    std::cout << QJsonDocument(root).toJson(QJsonDocument::Compact).toStdString() << "\n";
}

void WriteText(const PCAParameter& param, const FaceDataset& dataset, const Evaluation& e,
               const Report& report) {
    if (report.search) {
        const SearchResult& s = *report.search;
        std::printf(
            "search                %zu settings on %zu gallery folds in %.1f s; the best:\n",
            s.settings, s.top.empty() ? 0 : s.top.front().foldRank1.size(), s.seconds);
        for (size_t i = 0; i < s.top.size(); ++i) {
            std::string folds;
            for (double r : s.top[i].foldRank1) folds += " " + Rate(r).substr(0, 5);
            std::printf("  %zu. %.4f  (folds%s)  %s\n", i + 1, s.top[i].meanRank1, folds.c_str(),
                        DescribeSetting(s.top[i].param).c_str());
        }
    }
    if (report.calibration) {
        const Report::Calibration& c = *report.calibration;
        if (c.threshold)
            std::printf(
                "calibration           target FMR %g: threshold %.6g from the gallery folds;\n"
                "                      on the probes FMR %s, FNMR %s\n",
                c.targetFmr, *c.threshold, Rate(c.achieved.fmr).c_str(),
                Rate(c.achieved.fnmr).c_str());
        else
            std::printf("calibration           target FMR %g: %s\n", c.targetFmr, c.note.c_str());
    }
    std::printf("setting               %s, threshold %g\n", DescribeSetting(param).c_str(),
                param.threshold);
    std::printf("gallery images        %zu\n", dataset.gallery.size());
    std::printf("probe images          %zu\n", dataset.probes.size());
    std::printf("rank-1 accuracy       %.4f\n", e.rank1);
    std::printf("correct match rate    %.4f\n", e.correctMatchRate);
    std::printf("false match rate      %.4f\n", e.falseMatchRate);
    const SortedComparisons& v = report.verification;
    const ErrorRates at = v.At(param.threshold);
    std::printf("comparisons           %zu genuine, %zu impostor\n", v.genuine.size(),
                v.impostor.size());
    std::printf("FMR / FNMR            %s / %s per comparison at the threshold\n",
                Rate(at.fmr).c_str(), Rate(at.fnmr).c_str());
    std::printf("equal error rate      %s\n", Rate(v.EqualErrorRate()).c_str());
    std::printf("FNMR at FMR 1%%        %s\n", Rate(v.FnmrAtFmr(0.01)).c_str());
    std::printf("FNMR at FMR 0.1%%      %s\n", Rate(v.FnmrAtFmr(0.001)).c_str());
    std::printf("training              %.1f ms\n", e.trainMs);
    std::printf("recognition per probe %.3f ms\n", e.probeMs);
}

// A progress bar on standard error while it is a terminal; silence otherwise.
SearchProgress TerminalProgress() {
    if (::isatty(STDERR_FILENO) == 0) return {};
    const auto start = std::chrono::steady_clock::now();
    return [start](int done, int total, const std::string& what) {
        constexpr int width = 30;
        const int filled = total > 0 ? done * width / total : width;
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::string eta = "";
        if (done > 0 && done < total)
            eta = ", about " +
                  std::to_string(static_cast<int>(elapsed / done * (total - done) + 0.5)) +
                  " s left";
        std::fprintf(stderr, "\r\033[K[%s%s] %3d%% %s%s",
                     std::string(static_cast<size_t>(filled), '#').c_str(),
                     std::string(static_cast<size_t>(width - filled), '.').c_str(),
                     total > 0 ? done * 100 / total : 100, what.c_str(), eta.c_str());
        if (done == total) std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    };
}

int Evaluate(const EvalOptions& options) {
    FaceDataset dataset;
    std::string error;
    if (!LoadFaceDataset(options.dataset, options.trainPerPerson, dataset, error)) {
        std::cerr << "morlin-eval: " << error << "\n";
        return usageError;
    }
    const std::vector<Fold> folds = GalleryFolds(dataset, options.trainPerPerson);
    PCAParameter param = options.param;
    Report report;
    if (options.search) {
        report.search = SearchParameters(dataset, folds, TerminalProgress());
        const double threshold = param.threshold;
        param = report.search->chosen.param;
        param.threshold = threshold;
        // The folds trained on fewer images than the whole gallery: keep the
        // components as the same share of the training images.
        param.componentNum = ScaledComponents(param.componentNum, folds.front().training.size(),
                                              dataset.gallery.size());
        report.search->chosen.param.componentNum = param.componentNum;
    }
    if (options.calibrateFmr) {
        Report::Calibration calibration;
        calibration.targetFmr = *options.calibrateFmr;
        const SortedComparisons pooled(CrossValidate(dataset, folds, param).comparisons);
        calibration.threshold = pooled.ThresholdForFmr(calibration.targetFmr);
        if (calibration.threshold)
            param.threshold = *calibration.threshold;
        else
            calibration.note =
                "the gallery folds give " + std::to_string(pooled.impostor.size()) +
                " impostor comparisons, too few to resolve this rate; the threshold stays " +
                Rate(param.threshold);
        report.calibration = calibration;
    }
    Evaluation evaluation = ::Evaluate(dataset, param);
    if (options.repeat > 1) {
        // The results are the same every time; only the times vary. The
        // median leaves out the first run's cold caches and fresh memory.
        std::vector<double> train{evaluation.trainMs}, probe{evaluation.probeMs};
        for (int run = 1; run < options.repeat; ++run) {
            const Evaluation again = ::Evaluate(dataset, param);
            train.push_back(again.trainMs);
            probe.push_back(again.probeMs);
        }
        evaluation.trainMs = Median(train);
        evaluation.probeMs = Median(probe);
    }
    report.verification = SortedComparisons(ProbeComparisons(dataset, evaluation));
    if (report.calibration && report.calibration->threshold)
        report.calibration->achieved = report.verification.At(param.threshold);
    if (options.json)
        WriteJson(options, param, dataset, evaluation, report);
    else
        WriteText(param, dataset, evaluation, report);
    if (!options.plotFile.empty()) {
        if (!WriteVerificationPlot(QString::fromStdString(options.plotFile), report.verification,
                                   param.threshold, error)) {
            std::cerr << "morlin-eval: " << error << "\n";
            return usageError;
        }
        if (!options.json) std::printf("plot                  %s\n", options.plotFile.c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    std::string error;
    EvalRequest request = EvalRequest::Run;
    const std::optional<EvalOptions> options = ParseEvalOptions(arguments, error, request);
    if (!options) {
        if (request == EvalRequest::Help) {
            std::cout << EvalUsage();
            return 0;
        }
        if (request == EvalRequest::Version) {
            std::cout << "morlin-eval " << MORLIN_EVAL_VERSION << "\n";
            return 0;
        }
        std::cerr << "morlin-eval: " << error << "\n" << EvalUsage();
        return usageError;
    }
    // Charts need widgets; the plot goes to a file, so no display is needed.
    std::unique_ptr<QCoreApplication> app;
    if (options->plotFile.empty()) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    }
    return Evaluate(*options);
}
