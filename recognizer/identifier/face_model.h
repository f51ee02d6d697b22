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
//      designed measure; the discriminant methods the stage's output under
//      the Euclidean distance, scoring people by DistanceRatio.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "identifier/basis.h"
#include "identifier/discriminant.h"
#include "identifier/identifier.h"

class Workers;

// What a calibration leaves in the model.
struct StrangerCalibration {
    double target = 0.0;
    double threshold = 0.0;
    std::size_t people = 0;      // left out in turn
    std::vector<double> scores;  // of their searches, ascending (each among people - 1)
    std::string warning;
};

struct FaceModel {
    morlin::Settings settings;  // as trained: kernelType 0 unless isKernel
    Basis basis;
    std::optional<Discriminant> discriminant;
    std::vector<std::string> basisPeople;  // per basis face
    std::vector<std::string> people;       // enrolled, in enrolment order
    std::vector<int> personOf;             // per enrolled image
    std::vector<float> signatures;         // per enrolled image
    double threshold = 0.0;
    // A person's score needs a next person; with one person enrolled it is
    // taken against this: the median distance from a basis face to the
    // nearest face of another person.
    double typicalNextDistance = 1.0;
    std::optional<StrangerCalibration> calibration;
    // The designed measure's weight vector (derived from the basis).
    std::vector<float> measureWeight;

    // Trains on count faces (levels one after the other) of the people
    // named, and enrols them all. Throws morlin::Error (also when progress
    // stops it) and MatrixAllocationError.
    static FaceModel Train(const morlin::Settings& settings, int rows, int columns,
                           std::vector<uint8_t> levels, int count,
                           const std::vector<std::string>& names, Workers& workers,
                           const morlin::Progress& progress);

    int Dimensions() const;
    int Rows() const { return basis.Shape().rows; }
    int Columns() const { return basis.Shape().columns; }
    int EnrolledImages() const { return static_cast<int>(personOf.size()); }
    // out[0 .. Dimensions()) for a face of Rows() x Columns() grey levels.
    void Signature(const uint8_t* faceLevels, float* out, Workers* workers) const;
    // Distance between an enrolled signature and a probe's.
    double Distance(const float* enrolled, const float* probe) const;
    // The answer for a probe's signature, top candidates.
    morlin::Identification Identify(const float* signature, int top) const;
    // Adds signatures (one image after the other) of person, new or known.
    void Enrol(const std::vector<float>& newSignatures, const std::string& person);
    // Removes person's images; false when nobody has that name.
    bool Remove(const std::string& person);
    // The stranger rate of a score: NaN without a calibration.
    double StrangerRate(double score) const;
    // Derived parts, after training or loading: the measure's weights.
    void Derive();
};

// The people named by names, in first-appearance order, and each face's index
// into them.
void IndexPeople(const std::vector<std::string>& names, std::vector<std::string>& people,
                 std::vector<int>& personOf);
