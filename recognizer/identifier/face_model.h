// One identification model: a basis, for the discriminant methods its
// discriminant stage, the enrolled people with the signature of each of
// their images (the numbers that are compared), a threshold and the stranger
// scores of a calibration. An Identifier holds one behind its lock; a
// calibration trains one per left-out person.
//
// Invariants:
//   1. signatures holds Dimensions() numbers per enrolled image, image after
//      image; personOf[i] names the person of image i, an index into people.
//   2. Every person in people has at least one image.
//   3. basisPeople names the person of each face the basis was trained on
//      (the faces a calibration leaves out person by person).
//   4. The designed method compares the basis's coordinates under the
//      designed measure; the discriminant methods the stage's output (or,
//      without a stage, the basis's informative coordinates) under the
//      Euclidean distance, scoring people by DistanceRatio.
//   5. While follows, the basis was trained on exactly the enrolled images,
//      in order (basisPeople names their people, basis.Levels() holds them):
//      the model is what training on the gallery gives. Otherwise the basis
//      and the stage stay as trained on a gallery that large.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "identifier/basis.h"
#include "identifier/discriminant.h"
#include "identifier/person_scores.h"
#include "identifier/search_index.h"
#include "morlin/identifier.h"

class Workers;

// What a calibration leaves in the model.
struct StrangerCalibration {
    double target = 0.0;
    double threshold = 0.0;
    std::size_t people = 0;      // left out in turn
    std::vector<double> scores;  // of their searches, ascending
    double searchedAmong = 0.0;  // people each search met, on average
    std::string warning;
    // Of scores, those of the people the basis was trained on (left out
    // with the basis learnt again); the others' are made again whenever
    // the stage is (see calibration.h).
    std::vector<double> basisScores;
    std::size_t basisPeople = 0;
};

struct FaceModel {
    morlin::Settings settings;  // as trained: kernelType 0 unless isKernel
    // How its faces are made (their size is the basis's).
    morlin::FaceSource faces = morlin::FaceSource::Crops;
    Basis basis;
    std::optional<Discriminant> discriminant;
    std::vector<std::string> basisPeople;  // per basis face
    std::vector<std::string> people;       // enrolled, in enrolment order
    // PlaceOf's index of people, made again whenever its size is not
    // people's: Enrol keeps it, Remove drops it; whoever else changes people
    // makes a new model.
    std::unordered_map<std::string, size_t> places;
    std::vector<int> personOf;      // per enrolled image
    std::vector<float> signatures;  // per enrolled image
    double threshold = 0.0;
    // Whether threshold is the calibration's (and follows it), rather than
    // one given by hand or the designed default.
    bool thresholdCalibrated = false;
    // Why the threshold is not calibrated though training was to calibrate it.
    std::string thresholdNote;
    // A person's score needs a next person; with one person enrolled it is
    // taken against this: the median distance from a basis face to the
    // nearest face of another person.
    double typicalNextDistance = 1.0;
    std::optional<StrangerCalibration> calibration;
    // The designed measure's weight vector (derived from the basis).
    std::vector<float> measureWeight;
    // With a linear kernel, a signature is dot products of the face's
    // features: signature k = features . images[k] + offsets[k] (derived
    // from the basis and the stage; the discriminant stage folded in).
    struct LinearSignatures {
        int length = 0;             // features per face
        std::vector<float> images;  // Dimensions() rows of length
        std::vector<double> offsets;
    };
    std::optional<LinearSignatures> linear;
    // Invariant 5: whether the model follows who is enrolled.
    bool follows = false;
    // A large gallery's index (discriminant methods, from
    // SearchIndex::minimumImages on): which images a probe's search looks
    // at. Derived from the signatures; shared by copies of the model, only
    // the identifier's own model changes it.
    std::shared_ptr<SearchIndex> index;

    // Trains on count faces (levels one after the other) of the people
    // named, and enrols them all. Throws morlin::Error (also when progress
    // stops it) and MatrixAllocationError.
    // mayFollow false: the stage never follows (a model made for a moment,
    // such as a calibration's left-out one).
    static FaceModel Train(const morlin::Settings& settings, int rows, int columns,
                           std::vector<uint8_t> levels, int count,
                           const std::vector<std::string>& names, Workers& workers,
                           const morlin::Progress& progress, bool mayFollow = true);

    int Dimensions() const;
    // Whether people are scored against each other (the discriminant
    // methods, with or without a stage) rather than by the designed measure.
    bool Discriminating() const;
    int Rows() const { return basis.Shape().rows; }
    int Columns() const { return basis.Shape().columns; }
    int EnrolledImages() const { return static_cast<int>(personOf.size()); }
    // out[0 .. Dimensions()) for a face of Rows() x Columns() grey levels.
    // With a linear kernel through the signature images (the designed path's
    // values to within 1e-5 of their size), otherwise through the kernel
    // against every basis face.
    void Signature(const uint8_t* faceLevels, float* out, Workers* workers) const;
    // The signatures of count faces (levels one face after the other) into
    // out, one after the other: each exactly what Signature gives it, the
    // signature images read once for every four faces, the faces shared
    // among the helpers.
    void Signatures(const uint8_t* levels, int count, float* out, Workers* workers) const;
    // Distance between an enrolled signature and a probe's.
    double Distance(const float* enrolled, const float* probe) const;
    // The distance of enrolled image image to probe, exactly as Distances
    // gives it.
    double ImageDistance(std::size_t image, const float* probe) const;
    // The distance of probe to every enrolled image, into distances (size
    // EnrolledImages()); each exactly what Distance gives.
    void Distances(const float* probe, std::vector<double>& distances) const;
    // For a discriminating model: distances[p] (sized here) the distance of
    // probes[p] to every enrolled image, four images at a time against each
    // probe, so the images are read once for all the probes.
    void SignatureDistances(const float* const* probes, int probeCount,
                            std::vector<double>* distances) const;
    // The answer for a probe's signature, top candidates.
    morlin::Identification Identify(const float* signature, int top) const;
    // The answer from the probe's distance to every enrolled image.
    morlin::Identification Answer(const std::vector<double>& distances, int top) const;
    // The answer from each person's nearest image: nearest for the people
    // who[k] (everybody, in order, when who is empty), nobody else nearer.
    morlin::Identification AnswerFor(const PersonDistances& nearest, const std::vector<int>& who,
                                     int top) const;
    // The answers for count signatures (one after the other), each exactly
    // what Identify gives, shared among the helpers.
    std::vector<morlin::Identification> IdentifyMany(const float* probes, int count, int top,
                                                     Workers* workers) const;
    // Adds signatures (one image after the other) of person, new or known.
    // Whether the index was learnt anew with them (KeepIndex).
    bool Enrol(const std::vector<float>& newSignatures, const std::string& person);
    // Where person is in people, or people.size() for nobody enrolled; in
    // constant time, so that enrolling into a gallery of many people costs
    // what the newcomer's images cost.
    size_t PlaceOf(const std::string& person);
    // Removes person's images; false when nobody has that name.
    bool Remove(const std::string& person);
    // Keeps the index with the gallery after appended images were added:
    // adds them, or learns the index anew when the gallery first reaches
    // SearchIndex::minimumImages or has outgrown its lists. Whether it was
    // learnt anew (every image's list is then new). Never throws: an index
    // that cannot be made is dropped, and the searches are exact.
    bool KeepIndex(std::size_t appended) noexcept;
    // The stranger rate of a score: NaN without a calibration.
    double StrangerRate(double score) const;
    // Derived parts, after training or loading: the measure's weights and,
    // with a linear kernel, the signature images (shared among the helpers,
    // when given).
    void Derive(Workers* workers = nullptr);
};

// out[j * d + k] = images k . features of face j + offsets k for count faces
// (levels one after the other) of shape, d = images.offsets.size(): the
// images read once for every four faces, the faces shared among the
// helpers, each sum the one a face alone takes.
void ApplyLinear(const FaceModel::LinearSignatures& images, const FeatureShape& shape,
                 const uint8_t* levels, int count, float* out, Workers* workers);

// What training a model again on its gallery may cost, in multiply-adds
// (TrainingCost): about a fifth of a second on this project's two-core
// machine (ORL's 400 faces cost 1.6e9, 800 faces 9e9). Galleries beyond it
// keep the basis and the stage learnt from a gallery that large.
inline constexpr double refreshBudget = 5e9;

// The multiply-adds of training a discriminant model on images faces of
// featureLength features, m the smaller of the two: the kernel or scatter
// matrix and the coordinates (2 images featureLength m), and LAPACK's
// decomposition (about 12 m^3).
double TrainingCost(std::size_t images, int featureLength);

// The median distance from each face (of a sample of at most sampleImages,
// evenly spread) to the nearest face of another person; 1 when there is
// no other person.
double TypicalNextDistance(const FaceModel& model, std::size_t sampleImages = SIZE_MAX);
// The sample training takes that median over: a median of a thousand is
// as good as of all, and the search is one pass of the gallery per face.
inline constexpr std::size_t typicalDistanceSample = 1000;

// The people named by names, in first-appearance order, and each face's index
// into them.
void IndexPeople(const std::vector<std::string>& names, std::vector<std::string>& people,
                 std::vector<int>& personOf);
