// Training a model, signatures, distances and the answer for a probe.
#include "identifier/face_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "distance/distance_weights.h"
#include "distance/measure_distance.h"
#include "identifier/person_scores.h"
#include "identifier/stranger_scores.h"

namespace {

FeatureKind FeaturesOf(morlin::Method method) {
    return method == morlin::Method::LbpDiscriminant ? FeatureKind::LbpHistograms
                                                     : FeatureKind::EqualizedPixels;
}

bool Discriminating(morlin::Method method) {
    return method != morlin::Method::Designed;
}

// The median distance from each face to the nearest face of another person.
double TypicalNextDistance(const FaceModel& model) {
    const int d = model.Dimensions();
    std::vector<double> nearestOther;
    for (size_t i = 0; i < model.personOf.size(); ++i) {
        double nearest = std::numeric_limits<double>::infinity();
        for (size_t j = 0; j < model.personOf.size(); ++j)
            if (model.personOf[j] != model.personOf[i])
                nearest = std::min(nearest, model.Distance(model.signatures.data() + j * d,
                                                           model.signatures.data() + i * d));
        if (std::isfinite(nearest)) nearestOther.push_back(nearest);
    }
    if (nearestOther.empty()) return 1.0;
    std::nth_element(nearestOther.begin(), nearestOther.begin() + nearestOther.size() / 2,
                     nearestOther.end());
    const double median = nearestOther[nearestOther.size() / 2];
    return median > 0.0 ? median : 1.0;
}

}  // namespace

void IndexPeople(const std::vector<std::string>& names, std::vector<std::string>& people,
                 std::vector<int>& personOf) {
    std::map<std::string, int> index;
    people.clear();
    personOf.clear();
    for (const std::string& name : names) {
        const auto [at, added] = index.try_emplace(name, static_cast<int>(people.size()));
        if (added) people.push_back(name);
        personOf.push_back(at->second);
    }
}

FaceModel FaceModel::Train(const morlin::Settings& settings, int rows, int columns,
                           std::vector<uint8_t> levels, int count,
                           const std::vector<std::string>& names, Workers& workers,
                           const morlin::Progress& progress) {
    const auto step = [&](int done, int total) {
        if (progress && !progress(done, total)) throw morlin::Error("cancelled");
    };
    FaceModel model;
    model.settings = settings;
    if (!settings.designed.isKernel)
        model.settings.designed.kernelType = static_cast<int>(KernelType::Linear);
    const bool discriminating = Discriminating(settings.method);
    // The discriminant stage works on every component that carries
    // information; the designed method keeps the count it is given.
    const int components = discriminating ? count : settings.designed.componentNum;
    step(0, 3);
    model.basis = Basis::Train(FeaturesOf(settings.method), rows, columns, std::move(levels), count,
                               KernelFunction::Of(model.settings.designed), components, workers);
    step(1, 3);
    model.basisPeople = names;
    IndexPeople(names, model.people, model.personOf);
    const int personCount = static_cast<int>(model.people.size());
    const int stride = model.basis.Components();
    if (discriminating) {
        const float* coordinates = model.basis.TrainingCoordinates(0);
        const double regularization = ChooseRegularization(
            coordinates, model.basis.Usable(), stride, count, model.personOf, personCount);
        model.discriminant = Discriminant::Fit(coordinates, model.basis.Usable(), stride, count,
                                               model.personOf, personCount, regularization);
    }
    step(2, 3);
    const int d = model.Dimensions();
    model.signatures.resize(static_cast<size_t>(count) * static_cast<size_t>(d));
    for (int j = 0; j < count; ++j) {
        float* out = model.signatures.data() + static_cast<size_t>(j) * d;
        if (model.discriminant)
            model.discriminant->Apply(model.basis.TrainingCoordinates(j), out);
        else
            std::copy(model.basis.TrainingCoordinates(j), model.basis.TrainingCoordinates(j) + d,
                      out);
    }
    model.threshold = settings.designed.threshold;
    model.Derive();
    if (discriminating) model.typicalNextDistance = TypicalNextDistance(model);
    step(3, 3);
    return model;
}

void FaceModel::Derive() {
    measureWeight.clear();
    if (discriminant) return;
    const std::optional<DistanceWeights::Slot> slot = WeightSlotOf(settings.designed.distanceType);
    if (!slot) return;
    DistanceWeights weights;
    weights.Reset(basis.Usable());
    measureWeight = weights.For(*slot, basis.Eigenvalues());
}

int FaceModel::Dimensions() const {
    return discriminant ? discriminant->Dimensions() : basis.Components();
}

void FaceModel::Signature(const uint8_t* faceLevels, float* out, Workers* workers) const {
    if (!discriminant) {
        basis.Project(faceLevels, out, workers);
        return;
    }
    std::vector<float> coordinates(static_cast<size_t>(basis.Components()));
    basis.Project(faceLevels, coordinates.data(), workers);
    discriminant->Apply(coordinates.data(), out);
}

double FaceModel::Distance(const float* enrolled, const float* probe) const {
    if (!discriminant)
        return MeasureDistanceBetween(enrolled, probe, basis.Components(),
                                      basis.Eigenvalues()->col[0], basis.Usable(),
                                      settings.designed.distanceType,
                                      measureWeight.empty() ? nullptr : measureWeight.data());
    const int d = discriminant->Dimensions();
    double sum = 0.0;
    for (int k = 0; k < d; ++k) {
        const double difference = double{enrolled[k]} - probe[k];
        sum += difference * difference;
    }
    return std::sqrt(sum);
}

morlin::Identification FaceModel::Identify(const float* signature, int top) const {
    const int d = Dimensions();
    std::vector<double> distances(personOf.size());
    for (size_t i = 0; i < personOf.size(); ++i)
        distances[i] = Distance(signatures.data() + i * static_cast<size_t>(d), signature);
    const int personCount = static_cast<int>(people.size());
    const PersonDistances nearest = NearestPerPerson(distances, personOf, personCount);
    const std::vector<int> ranked = PeopleByDistance(nearest);

    // A candidate's score: its distance, or for the discriminant methods its
    // distance over the nearest of the other people's.
    const auto scoreOf = [&](size_t rank) {
        const double own = nearest.nearest[static_cast<size_t>(ranked[rank])];
        if (!discriminant) return own;
        if (ranked.size() < 2) return DistanceRatio(own, typicalNextDistance);
        const double next = nearest.nearest[static_cast<size_t>(ranked[rank == 0 ? 1 : 0])];
        return DistanceRatio(own, next);
    };
    morlin::Identification answer;
    answer.score = std::numeric_limits<double>::infinity();
    answer.distance = std::numeric_limits<double>::infinity();
    for (size_t rank = 0; rank < ranked.size() && rank < static_cast<size_t>(std::max(1, top));
         ++rank) {
        const auto p = static_cast<size_t>(ranked[rank]);
        answer.candidates.push_back({people[p], scoreOf(rank), nearest.image[p]});
    }
    if (!answer.candidates.empty()) {
        answer.score = answer.candidates.front().score;
        answer.distance = nearest.nearest[static_cast<size_t>(ranked.front())];
        if (answer.score < threshold) answer.person = answer.candidates.front().person;
    }
    answer.strangerRate = StrangerRate(answer.score);
    return answer;
}

double FaceModel::StrangerRate(double score) const {
    if (!calibration) return std::numeric_limits<double>::quiet_NaN();
    // The calibration's searches were each among one person fewer than it had.
    const double amongFewer = ShareAtOrBelow(calibration->scores, score);
    return RateAmongAll(amongFewer, calibration->people);
}

void FaceModel::Enrol(const std::vector<float>& newSignatures, const std::string& person) {
    const auto known = std::find(people.begin(), people.end(), person);
    const int index = static_cast<int>(known - people.begin());
    const size_t added = newSignatures.size() / static_cast<size_t>(Dimensions());
    signatures.reserve(signatures.size() + newSignatures.size());
    personOf.reserve(personOf.size() + added);
    if (known == people.end()) people.push_back(person);
    signatures.insert(signatures.end(), newSignatures.begin(), newSignatures.end());
    personOf.insert(personOf.end(), added, index);
}

bool FaceModel::Remove(const std::string& person) {
    const auto known = std::find(people.begin(), people.end(), person);
    if (known == people.end()) return false;
    const int index = static_cast<int>(known - people.begin());
    const size_t d = static_cast<size_t>(Dimensions());
    size_t kept = 0;
    for (size_t i = 0; i < personOf.size(); ++i) {
        if (personOf[i] == index) continue;
        std::copy_n(signatures.begin() + static_cast<ptrdiff_t>(i * d), d,
                    signatures.begin() + static_cast<ptrdiff_t>(kept * d));
        personOf[kept++] = personOf[i] > index ? personOf[i] - 1 : personOf[i];
    }
    personOf.resize(kept);
    signatures.resize(kept * d);
    people.erase(known);
    return true;
}
