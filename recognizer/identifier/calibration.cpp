// Leaving each person out, and the threshold from their searches.
#include "identifier/calibration.h"

#include <cstdio>

#include "identifier/leave_person_out.h"
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
                                       otherNames, workers, {});
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

StrangerCalibration CalibrateForStrangers(const FaceModel& model, double target, Workers& workers,
                                          const morlin::Progress& progress) {
    std::vector<std::string> people;
    std::vector<int> personOf;
    IndexPeople(model.basisPeople, people, personOf);
    if (people.size() < 2)
        throw morlin::Error(
            "a calibration leaves each person out in turn and searches their images among the "
            "others: it needs at least two people among the images the model was trained on");
    StrangerCalibration calibration;
    calibration.target = target;
    calibration.people = people.size();
    calibration.scores = SortedScores(LeftOutStrangerScores(model, workers, progress));
    const double aim = RateAmongFewer(target, people.size());
    const std::optional<double> threshold = ThresholdForShare(calibration.scores, aim);
    if (!threshold)
        throw morlin::Error("the " + std::to_string(people.size()) + " people give " +
                            std::to_string(calibration.scores.size()) +
                            " stranger searches (each person's images among the others), too "
                            "few to resolve a stranger rate of " +
                            Percent(target) + ": enrol more people or choose a larger rate");
    calibration.threshold = *threshold;
    const double below = aim * static_cast<double>(calibration.scores.size());
    if (people.size() < steadyCalibrationPeople)
        calibration.warning = "the threshold rests on " + std::to_string(people.size()) +
                              " people left out in turn; with fewer than " +
                              std::to_string(steadyCalibrationPeople) +
                              " the rate strangers meet can be far from " + Percent(target);
    else if (below < steadyCalibrationSearches)
        calibration.warning = "only about " + std::to_string(static_cast<int>(below)) + " of " +
                              std::to_string(calibration.scores.size()) +
                              " stranger searches fall below the threshold; enrol more people "
                              "for a steadier one";
    return calibration;
}
