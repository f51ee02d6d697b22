// The discriminant stage: linear discriminant analysis on a basis's
// coordinates, learnt from who is who. It finds the directions in which the
// people's mean faces lie far apart compared with how much each person's own
// faces scatter (the within-person scatter, regularised by a share of its
// mean variance added to every direction), and maps coordinates onto them:
// people - 1 numbers per face at most.
//
// Method. With Sw the within-person scatter (regularised) and M the people's
// mean offsets from the overall mean, each weighted by the square root of the
// person's share of the faces, the between-person scatter is M M'. Sw = L L'
// (Cholesky); the directions are the leading eigenvectors u of
// (L^-1 M)(L^-1 M)', found from the people x people matrix (L^-1 M)'(L^-1 M)
// (or from the first, when the inputs are fewer than the people), and
// w = L'^-1 u. Each direction has unit within-person variance, so Euclidean
// distance in the discriminant space weighs them alike. Every step is a
// LAPACK or BLAS call (dense/dense_matrix.h).
#pragma once

#include <optional>
#include <vector>

class Discriminant {
public:
    // Fits on count faces: column j of coordinates (inputs numbers, columns
    // stride apart) belongs to person people[j] (0 .. personCount - 1).
    // Throws morlin::Error with fewer than two people.
    static Discriminant Fit(const float* coordinates, int inputs, int stride, int count,
                            const std::vector<int>& people, int personCount, double regularization);

    // out[0 .. Dimensions()) for the coordinates z[0 .. Inputs()).
    void Apply(const float* z, float* out) const;
    // The same for count faces (coordinates stride apart) into out, one
    // face's Dimensions() numbers after the other, in one matrix product:
    // equal to Apply up to rounding.
    void ApplyMany(const float* coordinates, int stride, int count, float* out) const;

    int Inputs() const { return inputs; }
    int Dimensions() const { return dimensions; }
    double Regularization() const { return regularization; }

    // What a model file keeps.
    struct Parts {
        int inputs, dimensions;
        double regularization;
        std::vector<float> mean;        // inputs
        std::vector<float> directions;  // inputs x dimensions, direction after direction
    };
    Parts ToParts() const { return {inputs, dimensions, regularization, mean, directions}; }
    // Throws morlin::Error when the sizes do not fit.
    static Discriminant FromParts(Parts parts);

    // Fit in two steps, so that several regularisations can share the first:
    // the scatter of the faces, then the stage for one regularisation.
    struct Scatter;
    static Scatter ScatterOf(const float* coordinates, int inputs, int stride, int count,
                             const std::vector<int>& people, int personCount);
    static Discriminant FromScatter(const Scatter& scatter, double regularization);

private:
    int inputs = 0;
    int dimensions = 0;
    double regularization = 0.0;
    std::vector<float> mean;
    std::vector<float> directions;
};

// The regularisations ChooseStage tries, as shares of the mean
// within-person variance.
inline constexpr double regularizationCandidates[] = {1e-3, 1e-2, 1e-1};
// The folds it tries them on: each person's last face held out. More folds
// cost a fit per candidate each and, on ORL and relit ORL, never chose
// otherwise.
inline constexpr int regularizationFolds = 1;

// What the gallery supports: a stage with one of the candidate
// regularisations, or none (signatures are then the basis's coordinates,
// compared as they are, as a nearest-neighbour search over the features
// does). Each person's last face is held out and named from the rest: the
// regularisation that names most (ties: the clearer margins, then the
// smaller) is chosen. Without a stage when no person has two faces: a stage
// then has no within-person differences to learn from (it would only turn
// and scale the coordinates, which changes no distance's order or ratio).
std::optional<double> ChooseStage(const float* coordinates, int inputs, int stride, int count,
                                  const std::vector<int>& people, int personCount);
