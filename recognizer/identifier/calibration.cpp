// Leaving each person out, and the threshold from their searches.
#include "identifier/calibration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <set>

#include "dense/dense_matrix.h"
#include "identifier/bulk_distances.h"
#include "scores/leave_person_out.h"
#include "identifier/person_scores.h"
#include "scores/stranger_scores.h"

namespace {

std::string Percent(double share) {
    char text[32];
    std::snprintf(text, sizeof text, "%g %%", share * 100.0);
    return text;
}

}  // namespace

StrangerSearches EachPersonLeftOut(const FaceModel& model, const std::vector<std::string>& people,
                                   const std::vector<int>& personOf, Workers& workers,
                                   const morlin::Progress& progress) {
    const size_t pixels = static_cast<size_t>(model.Rows()) * static_cast<size_t>(model.Columns());
    const std::vector<uint8_t>& levels = model.basis.Levels();
    const std::vector<LeftOutPerson> splits =
        LeaveEachPersonOut(personOf, static_cast<int>(people.size()));
    StrangerSearches searches;
    searches.among = static_cast<double>(people.size()) - 1.0;
    for (size_t s = 0; s < splits.size(); ++s) {
        if (progress && !progress(static_cast<int>(s), static_cast<int>(splits.size())))
            throw morlin::Error("cancelled");
        const LeftOutPerson& split = splits[s];
        std::vector<uint8_t> others;
        std::vector<std::string> otherNames;
        for (size_t j : split.others) {
            others.insert(others.end(), levels.begin() + static_cast<ptrdiff_t>(j * pixels),
                          levels.begin() + static_cast<ptrdiff_t>((j + 1) * pixels));
            otherNames.push_back(people[static_cast<size_t>(personOf[j])]);
        }
        const std::string& name = people[static_cast<size_t>(split.person)];
        FaceModel leftOut;
        try {
            leftOut = FaceModel::Train(model.settings, model.Rows(), model.Columns(),
                                       std::move(others), static_cast<int>(otherNames.size()),
                                       otherNames, workers, {}, false);
        } catch (const morlin::Error& e) {
            throw morlin::Error("leaving out " + name + ": " + e.what());
        }
        const double factor = ScoreSizeFactor(model.settings, otherNames.size(), personOf.size());
        std::vector<float> signature(static_cast<size_t>(leftOut.Dimensions()));
        for (size_t j : split.own) {
            leftOut.Signature(levels.data() + j * pixels, signature.data(), &workers);
            searches.scores.push_back(leftOut.Identify(signature.data(), 1).score * factor);
        }
    }
    return searches;
}

namespace {

// Below this share of its variance left, a direction of the whitened
// coordinates is one the group alone spanned: the basis without the group
// has no such direction.
constexpr double leftVarianceFloor = 1e-4;

// The basis's coordinates of every face (Usable() each, face after face) as
// the basis trained without the faces at left would give them. The basis
// whitens its training faces: coordinates z = L^-1/2 p, p the faces'
// centred features in the basis's directions and L their variances, sum to
// 0 and scatter as the identity. The faces kept, less their mean m, then
// scatter as I - C C' in z, C holding the left faces' coordinates and
// sqrt(n - k) m (k faces left out of n); from the small eigenproblem of C'C
// (C'C v = d v, directions q = C v / sqrt(d)):
//   - directions with d = 1 hold no kept face (the left faces alone span
//     them): a basis of the kept faces lacks them, and projects every face
//     onto what it has, orthogonally in the features, which in z is along
//     L^-1 Q0 for the null directions Q0;
//   - the rest is whitened by (I - C C')^-1/2, the factor (1 - d)^-1/2 along
//     each q: the kept faces' coordinates in a basis of their own (up to a
//     rotation, which no distance sees), every face as it would project.
std::vector<float> CoordinatesWithout(const Basis& basis, const std::vector<int>& left) {
    const int usable = basis.Usable(), n = basis.Faces(), k = static_cast<int>(left.size());
    DenseMatrix c(usable, k + 1);
    std::vector<double> mean(static_cast<size_t>(usable), 0.0);
    for (int h = 0; h < k; ++h) {
        const float* z = basis.TrainingCoordinates(left[static_cast<size_t>(h)]);
        double* column = c.Column(h);
        for (int i = 0; i < usable; ++i) {
            column[i] = z[i];
            mean[static_cast<size_t>(i)] -= z[i];
        }
    }
    for (double& v : mean) v /= static_cast<double>(n - k);
    const double weight = std::sqrt(static_cast<double>(n - k));
    for (int i = 0; i < usable; ++i) c(i, k) = weight * mean[static_cast<size_t>(i)];

    const EigenPairs pairs = SymmetricEigen(Gram(c), k + 1, true);
    DenseMatrix q = Product(c, false, pairs.vectors, false);
    std::vector<int> kept, null;
    std::vector<double> factor;
    for (int a = 0; a < k + 1; ++a) {
        const double d = pairs.values[static_cast<size_t>(a)];
        if (!(d > 1e-12)) continue;  // C is of rank k at most: nothing there
        double* column = q.Column(a);
        for (int i = 0; i < usable; ++i) column[i] /= std::sqrt(d);
        if (1.0 - d > leftVarianceFloor) {
            kept.push_back(a);
            factor.push_back(1.0 / std::sqrt(1.0 - d) - 1.0);
        } else {
            null.push_back(a);
        }
    }
    const auto columnsOf = [&](const std::vector<int>& which) {
        DenseMatrix out(usable, static_cast<int>(which.size()));
        for (size_t a = 0; a < which.size(); ++a)
            std::copy_n(q.Column(which[a]), usable, out.Column(static_cast<int>(a)));
        return out;
    };
    const DenseMatrix keptDirections = columnsOf(kept), nullDirections = columnsOf(null);

    DenseMatrix z(usable, n);
    for (int j = 0; j < n; ++j) {
        const float* coordinates = basis.TrainingCoordinates(j);
        double* column = z.Column(j);
        for (int i = 0; i < usable; ++i) column[i] = coordinates[i] - mean[static_cast<size_t>(i)];
    }
    if (!null.empty()) {
        // z -= L^-1 Q0 (Q0' L^-1 Q0)^-1 Q0' z.
        const float* variances = basis.Eigenvalues()->col[0];
        DenseMatrix scaled = nullDirections;  // L^-1 Q0
        for (int a = 0; a < scaled.cols; ++a)
            for (int i = 0; i < usable; ++i) scaled(i, a) /= variances[i];
        DenseMatrix inner = Product(nullDirections, true, scaled, false);
        DenseMatrix along = Product(nullDirections, true, z, false);
        if (!CholeskyInPlace(inner))
            throw morlin::Error("leaving a group of people out: the basis cannot do without them");
        SolveLower(inner, along);
        SolveLowerTransposed(inner, along);
        const DenseMatrix shift = Product(scaled, false, along, false);
        for (size_t v = 0; v < z.values.size(); ++v) z.values[v] -= shift.values[v];
    }
    if (!kept.empty()) {
        // z += Q F Q' z.
        DenseMatrix along = Product(keptDirections, true, z, false);
        for (int j = 0; j < n; ++j)
            for (int a = 0; a < along.rows; ++a) along(a, j) *= factor[static_cast<size_t>(a)];
        const DenseMatrix shift = Product(keptDirections, false, along, false);
        for (size_t v = 0; v < z.values.size(); ++v) z.values[v] += shift.values[v];
    }
    std::vector<float> out(static_cast<size_t>(n) * static_cast<size_t>(usable));
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < usable; ++i)
            out[static_cast<size_t>(j) * usable + static_cast<size_t>(i)] =
                static_cast<float>(z(i, j));
    return out;
}

// Rows of values (count = positions.size(), dimensions each) at positions.
std::vector<float> RowsAt(const std::vector<float>& values, int dimensions,
                          const std::vector<int>& positions) {
    std::vector<float> out;
    out.reserve(positions.size() * static_cast<size_t>(dimensions));
    for (int j : positions)
        out.insert(out.end(), values.begin() + static_cast<ptrdiff_t>(j) * dimensions,
                   values.begin() + static_cast<ptrdiff_t>(j + 1) * dimensions);
    return out;
}

}  // namespace

StrangerSearches EachGroupLeftOut(const FaceModel& model, const std::vector<std::string>& people,
                                  const std::vector<int>& personOf,
                                  const morlin::Progress& progress) {
    const int personCount = static_cast<int>(people.size());
    const int groups = std::min(calibrationGroups, personCount);
    const int usable = model.basis.Usable();
    StrangerSearches searches;
    double amongSum = 0.0;
    for (int group = 0; group < groups && searches.scores.size() < groupedSearches; ++group) {
        if (progress && !progress(group, groups)) throw morlin::Error("cancelled");
        std::vector<int> training, held, trainingPeople;
        for (size_t j = 0; j < personOf.size(); ++j) {
            const int p = personOf[j];
            (p % groups == group ? held : training).push_back(static_cast<int>(j));
            if (p % groups != group) trainingPeople.push_back(p);
        }
        const int others = personCount - (personCount - group + groups - 1) / groups;
        if (held.empty() || others < (model.Discriminating() ? 2 : 1)) continue;
        const std::vector<float> without = CoordinatesWithout(model.basis, held);
        const std::vector<float> trainingCoordinates = RowsAt(without, usable, training);
        const std::vector<float> heldCoordinates = RowsAt(without, usable, held);
        const auto take = [&](int k, const double* distances) {
            const RankedPeople ranked =
                RankPeople(NearestPerPerson(distances, trainingPeople, personCount));
            (void)k;
            searches.scores.push_back(model.Discriminating()
                                          ? RatioScore(ranked, model.typicalNextDistance)
                                          : ranked.bestDistance * ScoreSizeFactor(model.settings,
                                                                                  training.size(),
                                                                                  personOf.size()));
        };
        if (!model.Discriminating()) {
            // The designed measure, image by image.
            std::vector<double> distances(training.size());
            for (size_t h = 0; h < held.size(); ++h) {
                for (size_t t = 0; t < training.size(); ++t)
                    distances[t] = model.Distance(model.basis.TrainingCoordinates(training[t]),
                                                  model.basis.TrainingCoordinates(held[h]));
                take(static_cast<int>(h), distances.data());
            }
        } else if (!model.discriminant) {
            ForEachProbeDistances(heldCoordinates.data(), static_cast<int>(held.size()),
                                  trainingCoordinates.data(), static_cast<int>(training.size()),
                                  usable, take);
        } else {
            Discriminant stage;
            try {
                stage = Discriminant::Fit(trainingCoordinates.data(), usable, usable,
                                          static_cast<int>(training.size()), trainingPeople,
                                          personCount, model.discriminant->Regularization());
            } catch (const morlin::Error& e) {
                throw morlin::Error("leaving out a group of people: " + std::string(e.what()));
            }
            const int d = stage.Dimensions();
            std::vector<float> gallery(training.size() * static_cast<size_t>(d));
            std::vector<float> probes(held.size() * static_cast<size_t>(d));
            stage.ApplyMany(trainingCoordinates.data(), usable, static_cast<int>(training.size()),
                            gallery.data());
            stage.ApplyMany(heldCoordinates.data(), usable, static_cast<int>(held.size()),
                            probes.data());
            ForEachProbeDistances(probes.data(), static_cast<int>(held.size()), gallery.data(),
                                  static_cast<int>(training.size()), d, take);
        }
        amongSum += static_cast<double>(held.size()) * others;
    }
    if (!searches.scores.empty())
        searches.among = amongSum / static_cast<double>(searches.scores.size());
    return searches;
}

StrangerSearches LeftOutStrangerScores(const FaceModel& model, Workers& workers,
                                       const morlin::Progress& progress) {
    std::vector<std::string> people;
    std::vector<int> personOf;
    IndexPeople(model.basisPeople, people, personOf);
    // The discriminant methods need two people to learn from: with one
    // left, nobody can be left out.
    if (people.size() < (model.Discriminating() ? 3u : 2u)) return {};
    const size_t faces = personOf.size();
    const double eachPerson =
        static_cast<double>(people.size()) *
        TrainingCost(faces - faces / people.size(), model.basis.Shape().length);
    StrangerSearches searches = eachPerson <= calibrationBudget
                                    ? EachPersonLeftOut(model, people, personOf, workers, progress)
                                    : EachGroupLeftOut(model, people, personOf, progress);
    if (progress) progress(1, 1);
    return searches;
}

std::vector<double> GalleryStrangerScores(const FaceModel& model, size_t& leftOut) {
    leftOut = 0;
    if (!model.Discriminating()) return {};
    std::set<std::string> trainedOn(model.basisPeople.begin(), model.basisPeople.end());
    const int personCount = static_cast<int>(model.people.size());
    std::vector<int> outside;
    for (int p = 0; p < personCount; ++p)
        if (trainedOn.count(model.people[static_cast<size_t>(p)]) == 0) outside.push_back(p);
    // As many as maxGalleryStrangerPeople, evenly spread.
    const size_t step = std::max<size_t>(
        1, (outside.size() + maxGalleryStrangerPeople - 1) / maxGalleryStrangerPeople);
    std::vector<char> searched(static_cast<size_t>(personCount), 0);
    for (size_t k = 0; k < outside.size(); k += step) {
        searched[static_cast<size_t>(outside[k])] = 1;
        ++leftOut;
    }
    const int d = model.Dimensions();
    std::vector<float> probes;
    std::vector<int> probePeople;
    for (size_t j = 0; j < model.personOf.size(); ++j)
        if (searched[static_cast<size_t>(model.personOf[j])]) {
            probes.insert(probes.end(), model.signatures.begin() + static_cast<ptrdiff_t>(j * d),
                          model.signatures.begin() + static_cast<ptrdiff_t>((j + 1) * d));
            probePeople.push_back(model.personOf[j]);
        }
    std::vector<double> scores, others(model.personOf.size());
    ForEachProbeDistances(
        probes.data(), static_cast<int>(probePeople.size()), model.signatures.data(),
        static_cast<int>(model.personOf.size()), d, [&](int k, const double* distances) {
            // The person's own images are not there for a stranger.
            const int own = probePeople[static_cast<size_t>(k)];
            for (size_t j = 0; j < others.size(); ++j)
                others[j] = model.personOf[j] == own ? std::numeric_limits<double>::infinity()
                                                     : distances[j];
            PersonDistances nearest = NearestPerPerson(others, model.personOf, personCount);
            nearest.image[static_cast<size_t>(own)] = -1;
            scores.push_back(RatioScore(RankPeople(nearest), model.typicalNextDistance));
        });
    return scores;
}

void AddStrangerSearches(StrangerCalibration& calibration, const std::vector<double>& scores,
                         std::size_t among) {
    if (scores.empty()) return;
    const double before = static_cast<double>(calibration.scores.size());
    const double added = static_cast<double>(scores.size());
    calibration.searchedAmong =
        (before * calibration.searchedAmong + added * static_cast<double>(among)) /
        (before + added);
    std::vector<double> merged = calibration.scores;
    merged.insert(merged.end(), scores.begin(), scores.end());
    calibration.scores = SortedScores(std::move(merged));
    ++calibration.people;
}

double CalibratedThreshold(const StrangerCalibration& calibration, size_t people,
                           std::string& warning) {
    const double aim = ShareForRate(calibration.target, calibration.searchedAmong, people);
    if (const std::optional<double> threshold = ThresholdForShare(calibration.scores, aim)) {
        const double below = aim * static_cast<double>(calibration.scores.size());
        if (calibration.people < steadyCalibrationPeople)
            warning = "the threshold rests on " + std::to_string(calibration.people) +
                      " people left out in turn; with fewer than " +
                      std::to_string(steadyCalibrationPeople) +
                      " the rate strangers meet can be far from " + Percent(calibration.target);
        else if (below < steadyCalibrationSearches)
            warning = "only about " + std::to_string(static_cast<int>(below)) + " of " +
                      std::to_string(calibration.scores.size()) +
                      " stranger searches fall below the threshold; enrol more people for a "
                      "steadier one";
        else
            warning.clear();
        return *threshold;
    }
    // Too few searches to resolve the rate (or a rate so high that every
    // search would be named): the nearest threshold they allow, said so.
    const size_t searches = calibration.scores.size();
    const bool tooFew = aim * static_cast<double>(searches + 1) < 1.0;
    const double threshold = tooFew ? calibration.scores.front() : calibration.scores.back();
    const double finest =
        RateOfShare(1.0 / static_cast<double>(searches + 1), calibration.searchedAmong, people);
    warning = std::to_string(calibration.people) + " people give " + std::to_string(searches) +
              " stranger searches (each person's images among the others), too few to resolve "
              "a stranger rate of " +
              Percent(calibration.target) +
              (tooFew ? "; the threshold is the lowest stranger score, which names about " +
                            Percent(finest) + " of strangers or fewer"
                      : "; the threshold is the highest stranger score") +
              ": a rough estimate, enrol more people for a better one";
    return threshold;
}

StrangerCalibration CalibrateForStrangers(const FaceModel& model, double target, Workers& workers,
                                          const morlin::Progress& progress) {
    std::vector<std::string> basisNames;
    std::vector<int> basisOf;
    IndexPeople(model.basisPeople, basisNames, basisOf);
    StrangerCalibration calibration;
    calibration.target = target;
    const StrangerSearches basis = LeftOutStrangerScores(model, workers, progress);
    if (!basis.scores.empty()) {
        calibration.basisScores = SortedScores(basis.scores);
        calibration.basisPeople = basisNames.size();
    }
    size_t galleryPeople = 0;
    const std::vector<double> gallery = GalleryStrangerScores(model, galleryPeople);
    if (calibration.basisScores.size() + gallery.size() == 0)
        throw morlin::Error(
            "a calibration leaves each person out in turn and searches their images among the "
            "others: it needs at least " +
            std::string(model.Discriminating() ? "three people (two left to tell apart)"
                                               : "two people") +
            " enrolled");
    // Basis people were searched among the other basis people (or those
    // outside their group); the gallery's among everybody else enrolled.
    const double basisSearches = static_cast<double>(calibration.basisScores.size());
    const double gallerySearches = static_cast<double>(gallery.size());
    calibration.searchedAmong =
        (basisSearches * basis.among +
         gallerySearches * (static_cast<double>(model.people.size()) - 1.0)) /
        (basisSearches + gallerySearches);
    calibration.people = calibration.basisPeople + galleryPeople;
    calibration.scores = calibration.basisScores;
    calibration.scores.insert(calibration.scores.end(), gallery.begin(), gallery.end());
    calibration.scores = SortedScores(std::move(calibration.scores));
    calibration.threshold =
        CalibratedThreshold(calibration, model.people.size(), calibration.warning);
    return calibration;
}

std::optional<PeopleThreshold> ThresholdForPeople(const FaceModel& model, size_t people) {
    if (!model.calibration || model.calibration->scores.empty()) return std::nullopt;
    PeopleThreshold made;
    made.threshold = CalibratedThreshold(*model.calibration, people, made.warning);
    return made;
}

void ApplyThreshold(FaceModel& model, PeopleThreshold&& made) noexcept {
    model.calibration->threshold = made.threshold;
    model.calibration->warning.swap(made.warning);
    if (model.thresholdCalibrated) model.threshold = made.threshold;
}
