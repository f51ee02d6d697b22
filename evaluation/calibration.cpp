// Thresholds from the gallery: people left out for verification, the
// identifier's own calibration for identification, folds for expected FNIR.
#include "calibration.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "verification.h"

namespace {

std::string Percent(double share) {
    char text[32];
    std::snprintf(text, sizeof text, "%g %%", share * 100.0);
    return text;
}

double NearestOf(const std::vector<foundFace>& ranked) {
    return ranked.empty() ? std::numeric_limits<double>::infinity() : ranked.front().distance;
}

}  // namespace

FmrCalibration CalibrateFmr(FaceDataset& dataset, const morlin::Settings& settings, double target,
                            const Progress& progress) {
    FmrCalibration calibration;
    calibration.target = target;
    const std::vector<PersonLeftOut> people = PeopleLeftOut(dataset);
    const int total = static_cast<int>(people.size());
    Comparisons pooled;
    for (int done = 0; done < total; ++done) {
        const PersonLeftOut& left = people[static_cast<size_t>(done)];
        if (progress) progress(done, total, "leaving out " + DisplayName(left.person));
        const double factor = ScoreSizeFactor(settings, left.others.size(), dataset.gallery.size());
        RankHeldOut(dataset, left.others, left.own, settings,
                    [&](int, const std::vector<foundFace>& ranked) {
                        for (const foundFace& face : ranked)
                            pooled.impostor.push_back(face.distance * factor);
                    });
    }
    if (progress) progress(total, total, "done");
    const SortedComparisons sorted(std::move(pooled));
    calibration.impostors = sorted.impostor.size();
    calibration.threshold = sorted.ThresholdForFmr(target);
    if (!calibration.threshold)
        calibration.note = "leaving each enrolled person out gives " +
                           std::to_string(calibration.impostors) +
                           " impostor comparisons, too few to resolve an FMR of " + Percent(target);
    return calibration;
}

std::vector<Search> GalleryMatedSearches(FaceDataset& dataset, const morlin::Settings& settings,
                                         const Progress& progress, int done, int total) {
    std::vector<Search> mated;
    for (const Fold& fold : GalleryFolds(dataset)) {
        if (progress) progress(done++, total, "gallery folds");
        const double factor =
            ScoreSizeFactor(settings, fold.training.size(), dataset.gallery.size());
        RankHeldOut(dataset, fold.training, fold.heldOut, settings,
                    [&](int held, const std::vector<foundFace>& ranked) {
                        Search s;
                        s.mated = true;
                        s.nearest = NearestOf(ranked) * factor;
                        s.nearestIsMate = !ranked.empty() &&
                                          PersonAt(dataset, fold.training, ranked.front().index) ==
                                              dataset.gallery[static_cast<size_t>(held)].person;
                        mated.push_back(s);
                    });
    }
    return mated;
}

FpirCalibration CalibrateFpir(FaceDataset& dataset, const morlin::Settings& settings, double target,
                              const Progress& progress) {
    FpirCalibration calibration;
    calibration.target = target;
    const int people = static_cast<int>(dataset.enrolled.size());
    const int total = people + static_cast<int>(GalleryFolds(dataset).size());

    std::vector<morlin::Image> images;
    std::vector<std::string> names;
    for (FaceImage& face : dataset.gallery) {
        images.push_back({dataset.rows, dataset.columns, nullptr, face.grey.data()});
        names.push_back(face.person);
    }
    // Trained as it is, then calibrated for target.
    morlin::Settings trained = settings;
    trained.strangerRate = 0.0;
    morlin::Identifier identifier(trained);
    try {
        identifier.Train(images, names);
        const morlin::Calibration set = identifier.Calibrate(target, [&](int done, int) {
            if (progress)
                progress(
                    done, total,
                    done < people
                        ? "leaving out " + DisplayName(dataset.enrolled[static_cast<size_t>(done)])
                        : std::string("gallery folds"));
            return true;
        });
        calibration.threshold = set.threshold;
        calibration.strangerSearches = set.searches;
        calibration.note = set.warning;
    } catch (const morlin::Error& e) {
        calibration.note = e.what();
        if (progress) progress(total, total, "done");
        return calibration;
    }
    const OpenSetSearches mated(GalleryMatedSearches(dataset, settings, progress, people, total));
    if (progress) progress(total, total, "done");
    calibration.matedSearches = mated.Mated();
    // The threshold is estimated to give target; the gallery's own stranger
    // searches show only how the estimate fell, so FNIR alone is read there.
    calibration.expected.fpir = target;
    calibration.expected.fnir = mated.At(*calibration.threshold).fnir;
    if (calibration.matedSearches == 0 && calibration.note.empty())
        calibration.note = "no expected FNIR: it needs two gallery images per person";
    return calibration;
}
