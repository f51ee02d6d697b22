// Training a model, signatures, distances and the answer for a probe.
#include "compute/index.h"
#include "identifier/face_model.h"

#include "identifier/bulk_distances.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "distance/distance_weights.h"
#include "compute/vector_sums.h"
#include "compute/threads.h"
#include "compute/workers.h"
#include "distance/measure_distance.h"
#include "identifier/person_scores.h"
#include "scores/stranger_scores.h"

namespace {

FeatureKind FeaturesOf(morlin::Method method) {
    return method == morlin::Method::LbpDiscriminant ? FeatureKind::LbpHistograms
                                                     : FeatureKind::EqualizedPixels;
}

}  // namespace

void ApplyLinear(const FaceModel::LinearSignatures& images, const FeatureShape& shape,
                 const uint8_t* levels, int count, float* out, Workers* workers) {
    // Four faces at a time against each image: the image is read once for
    // the four, and each sum is the one a face alone takes (Signature).
    constexpr int block = 4;
    const size_t pixels = AsSize(shape.rows) * AsSize(shape.columns);
    const int d = static_cast<int>(images.offsets.size());
    const int blocks = (count + block - 1) / block;
    const size_t length = AsSize(images.length);
    const int slots = workers != nullptr ? workers->Slots() : 1;
    std::vector<float> features(AsSize(slots) * block * length);
    const auto run = [&](int b, int slot) {
        float* mine = features.data() + AsSize(slot) * block * length;
        const int first = b * block;
        const int faces = std::min(block, count - first);
        const float* x[block];
        for (int s = 0; s < block; ++s) {
            x[s] = mine + AsSize(s < faces ? s : 0) * length;
            if (s < faces)
                ExtractFeatures(shape, levels + AsSize(first + s) * pixels,
                                mine + AsSize(s) * length);
        }
        double sums[block];
        for (int k = 0; k < d; ++k) {
            DotDouble4(x, images.images.data() + AsSize(k) * length, images.length, sums);
            for (int s = 0; s < faces; ++s)
                out[Offset(first + s, d, k)] = static_cast<float>(sums[s] + At(images.offsets, k));
        }
    };
    ForEachPiece(workers, blocks, blocks >= 2, run);
}

double TrainingCost(size_t images, int featureLength) {
    const double n = static_cast<double>(images);
    const double m = std::min(n, static_cast<double>(featureLength));
    return 2.0 * n * featureLength * m + 12.0 * m * m * m;
}

double TypicalNextDistance(const FaceModel& model, size_t sampleImages) {
    const int d = model.Dimensions();
    const size_t images = model.personOf.size();
    const size_t step = std::max<size_t>(1, images / std::max<size_t>(1, sampleImages));
    std::vector<float> sample;
    std::vector<int> sampled;
    for (size_t i = 0; i < images; i += step) {
        sample.insert(sample.end(),
                      model.signatures.begin() + static_cast<ptrdiff_t>(i * AsSize(d)),
                      model.signatures.begin() + static_cast<ptrdiff_t>((i + 1) * AsSize(d)));
        sampled.push_back(model.personOf[i]);
    }
    std::vector<double> nearestOther;
    ForEachProbeDistances(sample.data(), static_cast<int>(sampled.size()), model.signatures.data(),
                          static_cast<int>(images), d, [&](int k, const double* distances) {
                              double nearest = std::numeric_limits<double>::infinity();
                              for (size_t j = 0; j < images; ++j)
                                  if (model.personOf[j] != At(sampled, k))
                                      nearest = std::min(nearest, distances[j]);
                              if (std::isfinite(nearest)) nearestOther.push_back(nearest);
                          });
    if (nearestOther.empty()) return 1.0;
    std::nth_element(nearestOther.begin(),
                     nearestOther.begin() + static_cast<ptrdiff_t>(nearestOther.size() / 2),
                     nearestOther.end());
    const double median = nearestOther[nearestOther.size() / 2];
    return median > 0.0 ? median : 1.0;
}

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
                           const morlin::Progress& progress, bool mayFollow) {
    const auto step = [&](int done, int total) {
        if (progress && !progress(done, total)) throw morlin::Error("cancelled");
    };
    FaceModel model;
    model.settings = settings;
    if (!settings.designed.isKernel)
        model.settings.designed.kernelType = static_cast<int>(KernelType::Linear);
    const bool discriminating = model.Discriminating();
    // The discriminant stage works on every component that carries
    // information; the designed method keeps the count it is given.
    const int components = discriminating ? count : settings.designed.componentNum;
    step(0, 3);
    // The designed method's basis is the designed recognizer's, bit for bit;
    // the others decompose with LAPACK.
    model.basis = Basis::Train(FeaturesOf(settings.method), rows, columns, std::move(levels), count,
                               KernelFunction::Of(model.settings.designed), components, workers,
                               discriminating ? EigenSolver::Lapack : EigenSolver::Jacobi);
    step(1, 3);
    model.basisPeople = names;
    IndexPeople(names, model.people, model.personOf);
    const int personCount = static_cast<int>(model.people.size());
    const int stride = model.basis.Components();
    if (discriminating) {
        if (personCount < 2)
            throw morlin::Error(
                "the discriminant stage needs at least two people to tell apart; enrol more "
                "people, or use the designed method");
        const float* coordinates = model.basis.TrainingCoordinates(0);
        const std::optional<double> regularization = ChooseStage(
            coordinates, model.basis.Usable(), stride, count, model.personOf, personCount);
        if (regularization)
            model.discriminant = Discriminant::Fit(coordinates, model.basis.Usable(), stride, count,
                                                   model.personOf, personCount, *regularization);
    }
    step(2, 3);
    const int d = model.Dimensions();
    model.signatures.resize(AsSize(count) * AsSize(d));
    if (model.discriminant) {
        model.discriminant->ApplyMany(model.basis.TrainingCoordinates(0), stride, count,
                                      model.signatures.data());
    } else {
        for (int j = 0; j < count; ++j)
            std::copy(model.basis.TrainingCoordinates(j), model.basis.TrainingCoordinates(j) + d,
                      model.signatures.data() + Offset(j, d));
    }
    model.threshold = settings.designed.threshold;
    // The model follows who is enrolled while training it again is cheap.
    model.follows = discriminating && mayFollow &&
                    TrainingCost(AsSize(count), model.basis.Shape().length) <= refreshBudget;
    model.Derive(&workers);
    if (discriminating)
        model.typicalNextDistance = TypicalNextDistance(model, typicalDistanceSample);
    model.KeepIndex(AsSize(count));
    step(3, 3);
    return model;
}

void FaceModel::Derive(Workers* workers) {
    measureWeight.clear();
    linear.reset();
    if (!Discriminating()) {
        const std::optional<DistanceWeights::Slot> slot =
            WeightSlotOf(settings.designed.distanceType);
        if (slot) {
            DistanceWeights weights;
            weights.Reset(basis.Usable());
            measureWeight = weights.For(*slot, basis.Eigenvalues());
        }
    }
    if (!basis.Linear()) return;
    // Each signature number as a mix of the basis's coordinates: the
    // stage's directions over them (less its mean), or the coordinates
    // themselves (the designed method's beyond the usable ones stay 0).
    const int d = Dimensions();
    std::vector<double> mix, shifts;
    if (discriminant) {
        const Discriminant::Parts stage = discriminant->ToParts();
        mix.assign(stage.directions.begin(), stage.directions.end());
        shifts.assign(AsSize(d), 0.0);
        for (int k = 0; k < d; ++k)
            for (int c = 0; c < stage.inputs; ++c)
                At(shifts, k) -=
                    mix[AsSize(k) * AsSize(stage.inputs) + AsSize(c)] * At(stage.mean, c);
    }
    std::vector<double> images;
    LinearSignatures fast;
    basis.LinearImages(mix, d, shifts, images, fast.offsets, workers);
    fast.length = basis.Shape().length;
    fast.images.assign(images.begin(), images.end());
    linear = std::move(fast);
    basis.DropFeatures();
}

int FaceModel::Dimensions() const {
    if (discriminant) return discriminant->Dimensions();
    // Without a stage the discriminant methods compare the informative
    // coordinates; the designed method compares all it keeps.
    return Discriminating() ? basis.Usable() : basis.Components();
}

bool FaceModel::Discriminating() const {
    return settings.method != morlin::Method::Designed;
}

void FaceModel::Signature(const uint8_t* faceLevels, float* out, Workers* workers) const {
    if (linear) {
        std::vector<float> features(AsSize(linear->length));
        ExtractFeatures(basis.Shape(), faceLevels, features.data());
        // Four signature images at a time against the features, each sum
        // the one DotDouble(features, image) gives, so a face's signature
        // is the same alone and in a batch (Signatures).
        const int d = Dimensions();
        const int blocks = (d + 3) / 4;
        const size_t length = AsSize(linear->length);
        const auto run = [&](int b, int) {
            const int first = b * 4;
            const int count = std::min(4, d - first);
            const float* images[4];
            for (int s = 0; s < 4; ++s)
                images[s] = linear->images.data() + AsSize(first + std::min(s, count - 1)) * length;
            double sums[4];
            DotDouble4(images, features.data(), linear->length, sums);
            for (int s = 0; s < count; ++s)
                out[first + s] = static_cast<float>(sums[s] + At(linear->offsets, first + s));
        };
        ForEachPiece(workers, blocks, WorthThreads(blocks, int64_t{d} * linear->length), run);
        return;
    }
    if (!discriminant && Dimensions() == basis.Components()) {
        basis.Project(faceLevels, out, workers);
        return;
    }
    std::vector<float> projected(AsSize(basis.Components()));
    basis.Project(faceLevels, projected.data(), workers);
    if (discriminant)
        discriminant->Apply(projected.data(), out);
    else
        std::copy(projected.begin(), projected.begin() + Dimensions(), out);
}

void FaceModel::Signatures(const uint8_t* levels, int count, float* out, Workers* workers) const {
    const int d = Dimensions();
    if (!linear) {
        // Through the kernel: the basis faces read once for every four faces.
        std::vector<float> projected(AsSize(count) * AsSize(basis.Components()));
        basis.ProjectMany(levels, count, projected.data(), workers);
        for (int j = 0; j < count; ++j) {
            const float* z = projected.data() + Offset(j, basis.Components());
            float* signature = out + Offset(j, d);
            if (discriminant)
                discriminant->Apply(z, signature);
            else
                std::copy(z, z + d, signature);
        }
        return;
    }
    ApplyLinear(*linear, basis.Shape(), levels, count, out, workers);
}

void FaceModel::Distances(const float* probe, std::vector<double>& distances) const {
    const size_t count = personOf.size();
    distances.resize(count);
    if (!Discriminating()) {
        MeasureDistancesBetween(
            signatures.data(), static_cast<int>(count), probe, basis.Components(),
            basis.Eigenvalues()->col[0], basis.Usable(), settings.designed.distanceType,
            measureWeight.empty() ? nullptr : measureWeight.data(), distances.data());
        return;
    }
    SignatureDistances(&probe, 1, &distances);
}

void FaceModel::SignatureDistances(const float* const* probes, int probeCount,
                                   std::vector<double>* distances) const {
    const size_t d = AsSize(Dimensions());
    const size_t count = personOf.size();
    for (int p = 0; p < probeCount; ++p) distances[p].resize(count);
    // Four enrolled images at a time, each sum the one Distance takes.
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const float* x[4] = {signatures.data() + i * d, signatures.data() + (i + 1) * d,
                             signatures.data() + (i + 2) * d, signatures.data() + (i + 3) * d};
        for (int p = 0; p < probeCount; ++p) {
            double sums[4];
            SquaredDistanceDouble4(x, probes[p], static_cast<int>(d), sums);
            for (size_t s = 0; s < 4; ++s) distances[p][i + s] = std::sqrt(sums[s]);
        }
    }
    for (; i < count; ++i)
        for (int p = 0; p < probeCount; ++p)
            distances[p][i] = Distance(signatures.data() + i * d, probes[p]);
}

double FaceModel::ImageDistance(size_t image, const float* probe) const {
    // As Distances sums it: four at a time but for the last few.
    const size_t d = AsSize(Dimensions());
    const float* enrolled = signatures.data() + image * d;
    if (!Discriminating() || image >= personOf.size() - personOf.size() % 4)
        return Distance(enrolled, probe);
    const float* x[4] = {enrolled, enrolled, enrolled, enrolled};
    double sums[4];
    SquaredDistanceDouble4(x, probe, static_cast<int>(d), sums);
    return std::sqrt(sums[0]);
}

double FaceModel::Distance(const float* enrolled, const float* probe) const {
    if (!Discriminating())
        return MeasureDistanceBetween(
            enrolled, probe, basis.Components(), basis.Eigenvalues()->col[0], basis.Usable(),
            settings.designed.distanceType, measureWeight.empty() ? nullptr : measureWeight.data());
    const int d = Dimensions();
    double sum = 0.0;
    for (int k = 0; k < d; ++k) {
        const double difference = double{enrolled[k]} - probe[k];
        sum += difference * difference;
    }
    return std::sqrt(sum);
}

morlin::Identification FaceModel::Identify(const float* signature, int top) const {
    if (index && !SearchIndex::ExactWanted()) {
        // The index's candidates, measured exactly, until two people are
        // among them (a person with many images can fill the first ones).
        const size_t images = personOf.size();
        for (size_t wanted = AsSize(std::max(SearchIndex::minimumCandidates, 8 * top));
             wanted < images / 4; wanted *= 4) {
            const std::vector<int64_t> candidates =
                index->Candidates(signature, static_cast<int>(wanted));
            std::vector<int> who;
            PersonDistances nearest;
            for (int64_t image : candidates) {
                const int person = At(personOf, image);
                const double distance = ImageDistance(AsSize(image), signature);
                const size_t k =
                    static_cast<size_t>(std::find(who.begin(), who.end(), person) - who.begin());
                if (k == who.size()) {
                    who.push_back(person);
                    nearest.nearest.push_back(distance);
                    nearest.image.push_back(static_cast<int>(image));
                } else if (distance < nearest.nearest[k] ||
                           (distance == nearest.nearest[k] && image < nearest.image[k])) {
                    nearest.nearest[k] = distance;
                    nearest.image[k] = static_cast<int>(image);
                }
            }
            if (who.size() >= 2 || candidates.size() < wanted) return AnswerFor(nearest, who, top);
        }
    }
    std::vector<double> distances;
    Distances(signature, distances);
    return Answer(distances, top);
}

morlin::Identification FaceModel::Answer(const std::vector<double>& distances, int top) const {
    return AnswerFor(NearestPerPerson(distances, personOf, static_cast<int>(people.size())), {},
                     top);
}

morlin::Identification FaceModel::AnswerFor(const PersonDistances& nearest,
                                            const std::vector<int>& who, int top) const {
    const auto personAt = [&](int k) { return who.empty() ? k : At(who, k); };
    // The candidates and, for their scores, the person after the first.
    const std::vector<int> ranked = PeopleByDistance(nearest, AsSize(std::max(2, top)));

    // A candidate's score: its distance, or for the discriminant methods its
    // distance over the nearest of the other people's.
    const auto scoreOf = [&](size_t rank) {
        const double own = nearest.nearest[AsSize(ranked[rank])];
        if (!Discriminating()) return own;
        if (ranked.size() < 2) return DistanceRatio(own, typicalNextDistance);
        const double next = nearest.nearest[AsSize(ranked[rank == 0 ? 1 : 0])];
        return DistanceRatio(own, next);
    };
    morlin::Identification answer;
    answer.score = std::numeric_limits<double>::infinity();
    answer.distance = std::numeric_limits<double>::infinity();
    for (size_t rank = 0; rank < ranked.size() && rank < AsSize(std::max(1, top)); ++rank) {
        const auto k = AsSize(ranked[rank]);
        answer.candidates.push_back(
            {At(people, personAt(ranked[rank])), scoreOf(rank), nearest.image[k]});
    }
    if (!answer.candidates.empty()) {
        answer.score = answer.candidates.front().score;
        answer.distance = At(nearest.nearest, ranked.front());
        if (answer.score < threshold) answer.person = answer.candidates.front().person;
    }
    answer.strangerRate = StrangerRate(answer.score);
    return answer;
}

std::vector<morlin::Identification> FaceModel::IdentifyMany(const float* probes, int count, int top,
                                                            Workers* workers) const {
    std::vector<morlin::Identification> answers(AsSize(count));
    const size_t d = AsSize(Dimensions());
    if (index && !SearchIndex::ExactWanted()) {
        // Each probe looks at its own candidates: nothing to stream once.
        const auto one = [&](int p, int) {
            At(answers, p) = Identify(probes + AsSize(p) * d, top);
        };
        ForEachPiece(workers, count, count >= 2, one);
        return answers;
    }
    // Blocks of probes: the discriminant methods stream the enrolled
    // signatures once per block, four images at a time against each probe
    // of it, each sum the one Distances takes.
    constexpr int block = 8;
    const int blocks = (count + block - 1) / block;
    const auto run = [&](int b, int) {
        const int first = b * block;
        const int size = std::min(block, count - first);
        std::vector<double> distances[block];
        if (!Discriminating()) {
            for (int p = 0; p < size; ++p) Distances(probes + AsSize(first + p) * d, distances[p]);
        } else {
            const float* blockProbes[block] = {};
            for (int p = 0; p < size; ++p)
                blockProbes[p] = probes + Offset(first + p, Dimensions());
            SignatureDistances(blockProbes, size, distances);
        }
        for (int p = 0; p < size; ++p) At(answers, first + p) = Answer(distances[p], top);
    };
    ForEachPiece(workers, blocks, blocks >= 2, run);
    return answers;
}

double FaceModel::StrangerRate(double score) const {
    if (!calibration) return std::numeric_limits<double>::quiet_NaN();
    // A stranger meets everybody enrolled now; the searches met fewer.
    return RateOfShare(ShareAtOrBelow(calibration->scores, score), calibration->searchedAmong,
                       people.size());
}

bool FaceModel::Enrol(const std::vector<float>& newSignatures, const std::string& person) {
    const size_t at = PlaceOf(person);
    const int place = static_cast<int>(at);
    const bool newcomer = at == people.size();
    const size_t added = newSignatures.size() / AsSize(Dimensions());
    // Everything that can throw first (room, doubling, so that enrolling
    // person by person stays linear; the name's copy), then nothing below can.
    const auto room = [](auto& v, size_t more) {
        if (v.capacity() < v.size() + more) v.reserve(std::max(v.size() + more, 2 * v.capacity()));
    };
    room(signatures, newSignatures.size());
    room(personOf, added);
    room(people, 1);
    std::string name = newcomer ? person : std::string();
    if (newcomer) places.emplace(person, at);
    if (newcomer) people.push_back(std::move(name));
    signatures.insert(signatures.end(), newSignatures.begin(), newSignatures.end());
    personOf.insert(personOf.end(), added, place);
    return KeepIndex(added);
}

size_t FaceModel::PlaceOf(const std::string& person) {
    if (places.size() != people.size()) {
        places.clear();
        places.reserve(people.size());
        for (size_t p = 0; p < people.size(); ++p) places.emplace(people[p], p);
    }
    const auto found = places.find(person);
    return found == places.end() ? people.size() : found->second;
}

bool FaceModel::KeepIndex(size_t appended) noexcept {
    const size_t images = personOf.size();
    if (!Discriminating() || images < SearchIndex::minimumImages) {
        index.reset();
        return false;
    }
    try {
        if (index && index->Images() + appended == images && !index->Outgrown(images)) {
            index->Add(signatures.data() + (images - appended) * AsSize(Dimensions()), appended);
            return false;
        }
        index = std::make_shared<SearchIndex>(
            SearchIndex::Train(signatures.data(), images, Dimensions()));
        return true;
    } catch (...) {
        // Without memory for it: searched exactly, as a smaller gallery is.
        index.reset();
        return false;
    }
}

bool FaceModel::Remove(const std::string& person) {
    const auto known = std::find(people.begin(), people.end(), person);
    if (known == people.end()) return false;
    const int place = static_cast<int>(known - people.begin());
    const size_t d = AsSize(Dimensions());
    // The only allocation, before anything changes.
    std::vector<size_t> removed;
    for (size_t i = 0; i < personOf.size(); ++i)
        if (personOf[i] == place) removed.push_back(i);
    size_t kept = 0;
    for (size_t i = 0; i < personOf.size(); ++i) {
        if (personOf[i] == place) continue;
        std::copy_n(signatures.begin() + static_cast<ptrdiff_t>(i * d), d,
                    signatures.begin() + static_cast<ptrdiff_t>(kept * d));
        personOf[kept++] = personOf[i] > place ? personOf[i] - 1 : personOf[i];
    }
    personOf.resize(kept);
    signatures.resize(kept * d);
    people.erase(known);
    places.clear();  // the people after person moved up
    if (index) {
        try {
            index->Remove(removed);
        } catch (...) {
            index.reset();  // searched exactly until it is made again
        }
        if (personOf.size() < SearchIndex::minimumImages) index.reset();
    }
    return true;
}
