// Leaving each person out, and the threshold from their searches.
#include "identifier/calibration.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "identifier/leave_person_out.h"
#include "identifier/person_scores.h"
#include "identifier/stranger_scores.h"

namespace {

std::string Percent(double share) {
    char text[32];
    std::snprintf(text, sizeof text, "%g %%", share * 100.0);
    return text;
}

}  // namespace

std::vector<double> LeftOutStrangerScores(const FaceModel& model, Workers& workers,
                                          const morlin::Progress& progress) {
    std::vector<std::string> people;
    std::vector<int> personOf;
    IndexPeople(model.basisPeople, people, personOf);
    const size_t pixels = static_cast<size_t>(model.Rows()) * static_cast<size_t>(model.Columns());
    const std::vector<uint8_t>& levels = model.basis.Levels();
    const std::vector<LeftOutPerson> splits =
        LeaveEachPersonOut(personOf, static_cast<int>(people.size()));
    std::vector<double> scores;
    for (size_t s = 0; s < splits.size(); ++s) {
        if (progress && !progress(static_cast<int>(s), static_cast<int>(splits.size())))
            throw morlin::Error("cancelled");
        const LeftOutPerson& split = splits[s];
        // The discriminant methods need two people to learn from: with one
        // left, nobody can be left out.
        if (model.Discriminating() && people.size() < 3) continue;
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
            scores.push_back(leftOut.Identify(signature.data(), 1).score * factor);
        }
    }
    if (progress) progress(static_cast<int>(splits.size()), static_cast<int>(splits.size()));
    return scores;
}

std::vector<double> GalleryStrangerScores(const FaceModel& model, size_t& leftOut) {
    leftOut = 0;
    if (!model.Discriminating()) return {};
    std::set<std::string> trainedOn(model.basisPeople.begin(), model.basisPeople.end());
    const int personCount = static_cast<int>(model.people.size());
    const int d = model.Dimensions();
    std::vector<double> scores;
    for (const LeftOutPerson& split : LeaveEachPersonOut(model.personOf, personCount)) {
        if (trainedOn.count(model.people[static_cast<size_t>(split.person)]) > 0) continue;
        ++leftOut;
        std::vector<float> others;
        std::vector<int> othersPeople;
        for (size_t j : split.others) {
            others.insert(others.end(), model.signatures.begin() + static_cast<ptrdiff_t>(j * d),
                          model.signatures.begin() + static_cast<ptrdiff_t>((j + 1) * d));
            othersPeople.push_back(model.personOf[j]);
        }
        for (size_t j : split.own) {
            const RankedPeople ranked = RankPeople(NearestPerPerson(
                model.signatures.data() + j * d, others.data(), d, othersPeople, personCount));
            scores.push_back(RatioScore(ranked, model.typicalNextDistance));
        }
    }
    return scores;
}

void AddStrangerSearches(StrangerCalibration& calibration, const std::vector<double>& scores,
                         std::size_t among) {
    if (scores.empty()) return;
    const double before = static_cast<double>(calibration.scores.size());
    const double added = static_cast<double>(scores.size());
    calibration.searchedAmong =
        (before * calibration.searchedAmong + added * static_cast<double>(among)) / (before + added);
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
    const double finest = RateOfShare(1.0 / static_cast<double>(searches + 1),
                                      calibration.searchedAmong, people);
    warning = std::to_string(calibration.people) + " people give " + std::to_string(searches) +
              " stranger searches (each person's images among the others), too few to resolve "
              "a stranger rate of " + Percent(calibration.target) +
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
    if (basisNames.size() >= (model.Discriminating() ? 3u : 2u)) {
        calibration.basisScores = SortedScores(LeftOutStrangerScores(model, workers, progress));
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
    // Basis people were searched among the other basis people; the
    // gallery's among everybody else enrolled.
    const double basisSearches = static_cast<double>(calibration.basisScores.size());
    const double gallerySearches = static_cast<double>(gallery.size());
    calibration.searchedAmong =
        (basisSearches * (static_cast<double>(calibration.basisPeople) - 1.0) +
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
