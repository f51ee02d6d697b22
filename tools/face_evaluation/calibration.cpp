// Thresholds from the gallery: folds for verification, people left out for identification.
#include "calibration.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "verification.h"

namespace {

// By distance measure index; see ModelSizeExponent.
constexpr double modelSizeExponents[distanceMeasureCount] = {
    -0.45,  // CityBlock
    -0.45,  // Euclidean
    0.0,    // Covariance: a cosine
    0.0,    // Correlation
    0.0,    // MahCosine
    -0.7,   // YamborAngle
    -1.8,   // YamborDistance
    -0.9,   // MahL1
    -0.95,  // MahL2
    -0.72,  // LDASoft
};

std::string Percent(double share) {
    char text[32];
    std::snprintf(text, sizeof text, "%g %%", share * 100.0);
    return text;
}

// A left-out person is searched among one person fewer than a real stranger
// is. Each enrolled person is a chance to be named wrongly: for an FPIR of
// target among people, aim at the rate that gives among people - 1.
double FpirAmongFewer(double target, size_t people) {
    if (people < 2) return target;
    const double fewer = static_cast<double>(people - 1) / static_cast<double>(people);
    return 1.0 - std::pow(1.0 - target, fewer);
}

// Each enrolled person left out in turn: a model trained on everybody
// else's gallery images, and take(ranked, modelImages) for each of the
// person's gallery images, ranked against it with no threshold. Steps
// done .. done + people of total are reported.
void LeaveEachPersonOut(
    FaceDataset& dataset, const PCAParameter& param, const Progress& progress, int done, int total,
    const std::function<void(const std::vector<foundFace>& ranked, size_t modelImages)>& take) {
    if (dataset.enrolled.size() < 2) return;
    for (const std::string& person : dataset.enrolled) {
        if (progress) progress(done++, total, "leaving out " + DisplayName(person));
        std::vector<int> own, others;
        SplitByPerson(dataset, person, own, others);
        RankHeldOut(dataset, others, own, param, [&](int, const std::vector<foundFace>& ranked) {
            take(ranked, others.size());
        });
    }
}

}  // namespace

double ModelSizeExponent(int measure) {
    if (measure < 0 || measure >= distanceMeasureCount) return 0.0;
    return modelSizeExponents[measure];
}

double ModelSizeFactor(int measure, size_t modelImages, size_t finalImages) {
    if (modelImages == 0 || finalImages == 0) return 1.0;
    return std::pow(static_cast<double>(finalImages) / static_cast<double>(modelImages),
                    ModelSizeExponent(measure));
}

FmrCalibration CalibrateFmr(FaceDataset& dataset, const PCAParameter& param, double target,
                            const Progress& progress) {
    FmrCalibration calibration;
    calibration.target = target;
    const int people = static_cast<int>(dataset.enrolled.size());
    Comparisons pooled;
    LeaveEachPersonOut(dataset, param, progress, 0, people,
                       [&](const std::vector<foundFace>& ranked, size_t modelImages) {
                           const double factor = ModelSizeFactor(param.distanceType, modelImages,
                                                                 dataset.gallery.size());
                           for (const foundFace& face : ranked)
                               pooled.impostor.push_back(face.distance * factor);
                       });
    if (progress) progress(people, people, "done");
    const SortedComparisons sorted(std::move(pooled));
    calibration.impostors = sorted.impostor.size();
    calibration.threshold = sorted.ThresholdForFmr(target);
    if (!calibration.threshold)
        calibration.note = "leaving each enrolled person out gives " +
                           std::to_string(calibration.impostors) +
                           " impostor comparisons, too few to resolve an FMR of " + Percent(target);
    return calibration;
}

GallerySearches SearchGallery(FaceDataset& dataset, const PCAParameter& param,
                              const Progress& progress) {
    const int people = static_cast<int>(dataset.enrolled.size());
    const std::vector<Fold> folds = GalleryFolds(dataset);
    const int total = people + static_cast<int>(folds.size());
    GallerySearches result;
    result.finalImages = dataset.gallery.size();
    const auto nearestOf = [](const std::vector<foundFace>& ranked) {
        return ranked.empty() ? std::numeric_limits<double>::infinity() : ranked.front().distance;
    };
    // Strangers: each person's gallery images against everybody else's model.
    LeaveEachPersonOut(dataset, param, progress, 0, total,
                       [&](const std::vector<foundFace>& ranked, size_t modelImages) {
                           result.strangerModelImages = modelImages;
                           Search s;
                           s.nearest = nearestOf(ranked);
                           result.strangers.push_back(s);
                       });
    int done = people;
    // Mated: each person's held-out image against the fold's model.
    for (const Fold& fold : folds) {
        if (progress) progress(done++, total, "gallery folds");
        const double factor =
            ModelSizeFactor(param.distanceType, fold.training.size(), result.finalImages);
        RankHeldOut(dataset, fold.training, fold.heldOut, param,
                    [&](int held, const std::vector<foundFace>& ranked) {
                        Search s;
                        s.mated = true;
                        s.nearest = nearestOf(ranked) * factor;
                        s.nearestIsMate = !ranked.empty() &&
                                          PersonAt(dataset, fold.training, ranked.front().index) ==
                                              dataset.gallery[static_cast<size_t>(held)].person;
                        result.mated.push_back(s);
                    });
    }
    if (progress) progress(total, total, "done");
    return result;
}

FpirCalibration CalibrateFpir(FaceDataset& dataset, const PCAParameter& param, double target,
                              const Progress& progress) {
    FpirCalibration calibration;
    calibration.target = target;
    const GallerySearches gallery = SearchGallery(dataset, param, progress);
    std::vector<Search> searches = gallery.strangers;
    searches.insert(searches.end(), gallery.mated.begin(), gallery.mated.end());
    const OpenSetSearches measured(searches);
    calibration.strangerSearches = measured.NonMated();
    calibration.matedSearches = measured.Mated();
    const double aim = FpirAmongFewer(target, dataset.enrolled.size());
    calibration.threshold = measured.ThresholdForFpir(aim);
    if (!calibration.threshold) {
        calibration.note = "the gallery gives " + std::to_string(calibration.strangerSearches) +
                           " stranger searches (each enrolled person's images against the "
                           "others), too few to resolve an FPIR of " +
                           Percent(target);
        return calibration;
    }
    const double factor =
        ModelSizeFactor(param.distanceType, gallery.strangerModelImages, gallery.finalImages);
    *calibration.threshold *= factor;
    // The threshold is estimated to give target; the gallery's own stranger
    // searches show only how the estimate fell, so FNIR alone is read there.
    calibration.expected.fpir = target;
    calibration.expected.fnir = measured.At(*calibration.threshold).fnir;
    if (calibration.matedSearches == 0)
        calibration.note = "no expected FNIR: it needs two gallery images per person";
    return calibration;
}
