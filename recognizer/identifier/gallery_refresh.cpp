// Changes of who is enrolled: trained again while small, added to otherwise,
// the calibration and its threshold following.
#include "identifier/gallery_refresh.h"

#include <algorithm>

#include "identifier/calibration.h"

namespace {

bool Enrolled(FaceModel& model, const std::string& person) {
    return model.PlaceOf(person) < model.people.size();
}

// model trained on levels (count faces of the people named) with what it
// carries beyond its training: how the threshold was set, and its
// calibration, made again (then recalibrated is set) while two people are
// left to make it from.
FaceModel TrainedAgain(const FaceModel& model, std::vector<uint8_t> levels,
                       const std::vector<std::string>& names, Workers& helpers,
                       bool& recalibrated) {
    FaceModel next =
        FaceModel::Train(model.settings, model.Rows(), model.Columns(), std::move(levels),
                         static_cast<int>(names.size()), names, helpers, {});
    next.faces = model.faces;
    next.thresholdCalibrated = model.thresholdCalibrated;
    next.thresholdNote = model.thresholdNote;
    next.threshold = model.threshold;
    recalibrated = false;
    if (!model.calibration) return next;
    if (next.people.size() >= 2) {
        next.calibration = CalibrateForStrangers(next, model.calibration->target, helpers, {});
        recalibrated = true;
    } else {
        next.calibration = model.calibration;
    }
    if (std::optional<PeopleThreshold> made = ThresholdForPeople(next, next.people.size()))
        ApplyThreshold(next, std::move(*made));
    return next;
}

// The stranger scores of a newcomer's signatures against model, which has
// not met them.
std::vector<double> NewcomerScores(const FaceModel& model, const std::vector<float>& signatures) {
    std::vector<double> scores;
    if (!model.calibration || model.calibration->scores.size() >= maxCalibrationSearches ||
        !model.Discriminating() || model.people.empty())
        return scores;
    const size_t d = static_cast<size_t>(model.Dimensions());
    for (size_t i = 0; i + d <= signatures.size(); i += d)
        scores.push_back(model.Identify(signatures.data() + i, 1).score);
    return scores;
}

}  // namespace

bool EnrolIntoModel(FaceModel& model, const std::vector<uint8_t>& levels, int count,
                    const std::vector<float>& signatures, const std::string& person,
                    Workers& helpers) {
    const bool newcomer = !Enrolled(model, person);
    const std::vector<double> strangerScores =
        newcomer ? NewcomerScores(model, signatures) : std::vector<double>();
    const size_t met = model.people.size();
    const size_t images = model.personOf.size() + static_cast<size_t>(count);
    if (model.follows && TrainingCost(images, model.basis.Shape().length) <= refreshBudget) {
        std::vector<uint8_t> all = model.basis.Levels();
        all.insert(all.end(), levels.begin(), levels.end());
        std::vector<std::string> names = model.basisPeople;
        names.insert(names.end(), static_cast<size_t>(count), person);
        std::optional<FaceModel> next;
        bool recalibrated = false;
        try {
            next = TrainedAgain(model, std::move(all), names, helpers, recalibrated);
        } catch (const morlin::Error&) {
            // The gallery cannot be trained on (nothing tells these faces
            // apart): it is taken as it is, no longer followed.
        }
        if (next) {
            if (next->calibration && !recalibrated && !strangerScores.empty()) {
                AddStrangerSearches(*next->calibration, strangerScores, met);
                if (std::optional<PeopleThreshold> made =
                        ThresholdForPeople(*next, next->people.size()))
                    ApplyThreshold(*next, std::move(*made));
            }
            model = std::move(*next);
            return true;
        }
    }
    // Everything that can fail is made aside first; then only moves and
    // appends into reserved room.
    std::optional<StrangerCalibration> calibration = model.calibration;
    if (calibration) AddStrangerSearches(*calibration, strangerScores, met);
    std::optional<PeopleThreshold> made;
    if (calibration && !calibration->scores.empty()) {
        made.emplace();
        made->threshold =
            CalibratedThreshold(*calibration, met + (newcomer ? 1 : 0), made->warning);
    }
    const bool indexLearnt = model.Enrol(signatures, person);
    model.follows = false;
    if (calibration) {
        model.calibration = std::move(calibration);
        if (made) ApplyThreshold(model, std::move(*made));
    }
    return indexLearnt;
}

bool RemoveFromModel(FaceModel& model, const std::string& person, Workers& helpers) {
    if (model.follows) {
        std::vector<uint8_t> kept;
        std::vector<std::string> names;
        const size_t pixels =
            static_cast<size_t>(model.Rows()) * static_cast<size_t>(model.Columns());
        const std::vector<uint8_t>& levels = model.basis.Levels();
        for (size_t j = 0; j < model.basisPeople.size(); ++j)
            if (model.basisPeople[j] != person) {
                kept.insert(kept.end(), levels.begin() + static_cast<ptrdiff_t>(j * pixels),
                            levels.begin() + static_cast<ptrdiff_t>((j + 1) * pixels));
                names.push_back(model.basisPeople[j]);
            }
        std::vector<std::string> left = names;
        std::sort(left.begin(), left.end());
        if (std::unique(left.begin(), left.end()) - left.begin() >= 2) {
            try {
                bool recalibrated = false;
                model = TrainedAgain(model, std::move(kept), names, helpers, recalibrated);
                return true;
            } catch (const morlin::Error&) {
                // As for an enrolment: taken as it is, no longer followed.
            }
        }
    }
    const size_t remaining = model.people.size() - 1;
    std::optional<PeopleThreshold> made = ThresholdForPeople(model, remaining);
    model.Remove(person);
    model.follows = false;
    if (made) ApplyThreshold(model, std::move(*made));
    return false;
}
