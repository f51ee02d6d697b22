// One run of morlin-eval: load, search, calibrate, evaluate, in that order.
#include "run_evaluation.h"

#include <algorithm>
#include <vector>

#include "folds.h"
#include "terminal_progress.h"

namespace {

// The middle value; of an even count, the mean of the two middle ones.
double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

}  // namespace

bool LoadEvaluationFaces(const EvalOptions& options, FaceDataset& dataset, std::string& error) {
    if (!LoadFaceDataset(options.dataset, options.trainPerPerson, dataset, error, options.openSet))
        return false;
    RelightDataset(dataset, options.relight);
    return true;
}

bool RunEvaluation(const EvalOptions& options, Report& report, std::string& error) {
    FaceDataset& dataset = report.dataset;
    if (!LoadEvaluationFaces(options, dataset, error)) return false;
    report.openSet = options.openSet.has_value();
    const std::vector<Fold> folds = GalleryFolds(dataset);
    PCAParameter param = options.param;
    report.method = options.method;
    const auto settings = [&] {
        morlin::Settings chosen;
        chosen.designed = param;
        chosen.method = options.method;
        return chosen;
    };
    if (options.search) {
        report.search =
            SearchParameters(dataset, folds, *options.search,
                             options.calibrateFpir.value_or(defaultSearchFpir), TerminalProgress());
        const double threshold = param.threshold;
        param = report.search->chosen.param;
        param.threshold = threshold;
        // The folds trained on fewer images than the whole gallery: keep the
        // components as the same share of the training images.
        param.componentNum = ScaledComponents(param.componentNum, folds.front().training.size(),
                                              dataset.gallery.size());
        report.search->chosen.param.componentNum = param.componentNum;
    }
    // Calibrated for the setting actually used, the final component count included.
    if (options.calibrateFmr) {
        report.fmrCalibration =
            CalibrateFmr(dataset, settings(), *options.calibrateFmr, TerminalProgress());
        if (report.fmrCalibration->threshold) param.threshold = *report.fmrCalibration->threshold;
    }
    if (options.calibrateFpir) {
        report.fpirCalibration =
            CalibrateFpir(dataset, settings(), *options.calibrateFpir, TerminalProgress());
        if (report.fpirCalibration->threshold) param.threshold = *report.fpirCalibration->threshold;
    }
    report.param = param;

    report.evaluation = Evaluate(dataset, settings());
    if (options.repeat > 1) {
        // The results are the same every time; only the times vary. The
        // median leaves out the first run's cold caches and fresh memory.
        std::vector<double> train{report.evaluation.trainMs}, probe{report.evaluation.probeMs};
        for (int run = 1; run < options.repeat; ++run) {
            const Evaluation again = Evaluate(dataset, settings());
            train.push_back(again.trainMs);
            probe.push_back(again.probeMs);
        }
        report.evaluation.trainMs = Median(train);
        report.evaluation.probeMs = Median(probe);
    }
    report.verification = SortedComparisons(ProbeComparisons(dataset, report.evaluation));
    report.identification = OpenSetSearches(SearchesOf(dataset, report.evaluation));
    if (report.fmrCalibration && report.fmrCalibration->threshold)
        report.achievedFmr = report.verification.At(param.threshold);
    if (report.fpirCalibration && report.fpirCalibration->threshold)
        report.achievedFpir = report.identification.At(param.threshold);
    return true;
}
