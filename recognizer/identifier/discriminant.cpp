// Linear discriminant analysis by Cholesky whitening and an eigenproblem
// over the people (or the inputs, when there are fewer of them); every step
// a LAPACK or BLAS call in double precision.
#include "identifier/discriminant.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "compute/index.h"
#include "dense/dense_matrix.h"
#include "identifier/bulk_distances.h"
#include "morlin/identifier.h"
#include "identifier/person_scores.h"

namespace {

// Below this share of the largest, an eigenvalue of the between-person
// problem is rounding: its direction separates nobody.
constexpr double separationFloor = 1e-6;

}  // namespace

// What the stage learns from: means, the within-person scatter and the
// total variance of count faces.
struct Discriminant::Scatter {
    int inputs = 0;
    int count = 0;
    std::vector<int> faces;    // per person
    std::vector<int> present;  // people with faces
    std::vector<double> mean;
    DenseMatrix personMean;  // inputs x people
    DenseMatrix within;      // inputs x inputs
    double trace = 0.0;
    double totalVariance = 0.0;
};

Discriminant::Scatter Discriminant::ScatterOf(const float* coordinates, int inputs, int stride,
                                              int count, const std::vector<int>& people,
                                              int personCount) {
    const int m = inputs;
    const auto at = [&](int j) { return coordinates + static_cast<ptrdiff_t>(j) * stride; };
    const auto personOf = [&](int j) { return At(people, j); };
    Scatter s;
    s.inputs = m;
    s.count = count;
    s.faces.assign(AsSize(personCount), 0);
    for (int j = 0; j < count; ++j) ++At(s.faces, personOf(j));
    for (int p = 0; p < personCount; ++p)
        if (At(s.faces, p) > 0) s.present.push_back(p);
    if (s.present.size() < 2)
        throw morlin::Error(
            "the discriminant stage needs at least two people to tell apart; enrol more "
            "people, or use the designed method");

    s.mean.assign(AsSize(m), 0.0);
    s.personMean = DenseMatrix(m, personCount);
    for (int j = 0; j < count; ++j) {
        const float* z = at(j);
        double* own = s.personMean.Column(personOf(j));
        for (int i = 0; i < m; ++i) {
            At(s.mean, i) += z[i];
            own[i] += z[i];
        }
    }
    for (double& v : s.mean) v /= count;
    for (int p : s.present) {
        double* own = s.personMean.Column(p);
        for (int i = 0; i < m; ++i) own[i] /= At(s.faces, p);
    }

    // Each face's offset from its person's mean, one column each: the
    // within-person scatter is their outer products summed.
    DenseMatrix offsets(m, count);
    for (int j = 0; j < count; ++j) {
        const float* z = at(j);
        const double* own = s.personMean.Column(personOf(j));
        double* offset = offsets.Column(j);
        for (int i = 0; i < m; ++i) {
            offset[i] = z[i] - own[i];
            const double centred = z[i] - At(s.mean, i);
            s.totalVariance += centred * centred;
        }
    }
    s.within = OuterGram(offsets);
    for (int i = 0; i < m; ++i) s.trace += s.within(i, i);
    if (!(s.totalVariance > 0.0))
        throw morlin::Error("the training faces do not differ: nothing to tell people apart by");
    return s;
}

Discriminant Discriminant::Fit(const float* coordinates, int inputs, int stride, int count,
                               const std::vector<int>& people, int personCount,
                               double regularization) {
    return FromScatter(ScatterOf(coordinates, inputs, stride, count, people, personCount),
                       regularization);
}

Discriminant Discriminant::FromScatter(const Scatter& s, double regularization) {
    const int m = s.inputs;
    // One face per person leaves no within-person scatter: the stage then
    // weighs every direction by the faces' own variance.
    const double scale = s.trace > 1e-12 * s.totalVariance ? s.trace / m : s.totalVariance / m;
    DenseMatrix lower = s.within;
    for (int i = 0; i < m; ++i) lower(i, i) += regularization * scale;
    if (!CholeskyInPlace(lower))
        throw morlin::Error("the within-person scatter cannot be whitened");

    // Y = L^-1 M, one column per person present, weighted by the square
    // root of the person's share of the faces.
    const int c = static_cast<int>(s.present.size());
    DenseMatrix y(m, c);
    for (int k = 0; k < c; ++k) {
        const int p = At(s.present, k);
        const double weight = std::sqrt(static_cast<double>(At(s.faces, p)) / s.count);
        const double* personMean = s.personMean.Column(p);
        double* column = y.Column(k);
        for (int i = 0; i < m; ++i) column[i] = weight * (personMean[i] - At(s.mean, i));
    }
    SolveLower(lower, y);
    // The leading eigenvectors u of Y Y': from the people x people Y'Y
    // (u = Y v / sqrt(lambda)) when that is the smaller, else directly.
    const int wanted = std::min(c - 1, m);
    DenseMatrix directions(m, 0);
    std::vector<double> separations;
    if (c <= m) {
        EigenPairs pairs = SymmetricEigen(Gram(y), c, true);
        DenseMatrix u = Product(y, false, pairs.vectors, false);
        for (int k = 0; k < c; ++k) {
            const double root = std::sqrt(std::max(At(pairs.values, k), 0.0));
            double* column = u.Column(k);
            for (int i = 0; i < m; ++i) column[i] = root > 0.0 ? column[i] / root : 0.0;
        }
        directions = std::move(u);
        separations = std::move(pairs.values);
    } else {
        EigenPairs pairs = SymmetricEigen(OuterGram(y), wanted, true);
        directions = std::move(pairs.vectors);
        separations = std::move(pairs.values);
    }
    // w = L'^-1 u.
    SolveLowerTransposed(lower, directions);

    Discriminant stage;
    stage.inputs = m;
    stage.regularization = regularization;
    stage.mean.assign(s.mean.begin(), s.mean.end());
    const double largest = separations.empty() ? 0.0 : separations.front();
    for (int k = 0; k < wanted; ++k) {
        const double lambda = At(separations, k);
        if (!(largest > 0.0) || !(lambda > separationFloor * largest)) break;
        const double* w = directions.Column(k);
        for (int i = 0; i < m; ++i) stage.directions.push_back(static_cast<float>(w[i]));
        ++stage.dimensions;
    }
    if (stage.dimensions == 0)
        throw morlin::Error(
            "the people's faces do not differ on average: nothing to tell them apart by");
    return stage;
}

void Discriminant::ApplyMany(const float* coordinates, int stride, int count, float* out) const {
    // Z - mean, inputs x count, then D' (Z - mean) in one product.
    DenseMatrix centred(inputs, count);
    for (int j = 0; j < count; ++j) {
        const float* z = coordinates + static_cast<ptrdiff_t>(j) * stride;
        double* column = centred.Column(j);
        for (int i = 0; i < inputs; ++i) column[i] = double{z[i]} - At(mean, i);
    }
    DenseMatrix stage(inputs, dimensions);
    std::copy(directions.begin(), directions.end(), stage.values.begin());
    const DenseMatrix product = Product(stage, true, centred, false);
    for (int j = 0; j < count; ++j)
        for (int k = 0; k < dimensions; ++k)
            out[Offset(j, dimensions, k)] = static_cast<float>(product(k, j));
}

void Discriminant::Apply(const float* z, float* out) const {
    for (int k = 0; k < dimensions; ++k) {
        const float* w = directions.data() + Offset(k, inputs);
        double sum = 0.0;
        for (int i = 0; i < inputs; ++i) sum += double{w[i]} * (double{z[i]} - At(mean, i));
        out[k] = static_cast<float>(sum);
    }
}

Discriminant Discriminant::FromParts(Parts parts) {
    if (parts.inputs < 1 || parts.dimensions < 1 || parts.dimensions > parts.inputs ||
        parts.mean.size() != AsSize(parts.inputs) ||
        parts.directions.size() != Offset(parts.inputs, parts.dimensions) ||
        !std::isfinite(parts.regularization) ||
        !std::all_of(parts.mean.begin(), parts.mean.end(),
                     [](float v) { return std::isfinite(v); }) ||
        !std::all_of(parts.directions.begin(), parts.directions.end(),
                     [](float v) { return std::isfinite(v); }))
        throw morlin::Error("the discriminant stage's parts do not fit together");
    Discriminant stage;
    stage.inputs = parts.inputs;
    stage.dimensions = parts.dimensions;
    stage.regularization = parts.regularization;
    stage.mean = std::move(parts.mean);
    stage.directions = std::move(parts.directions);
    return stage;
}

std::optional<double> ChooseStage(const float* coordinates, int inputs, int stride, int count,
                                  const std::vector<int>& people, int personCount) {
    constexpr size_t candidates = std::size(regularizationCandidates);
    std::vector<int> place(AsSize(count));
    std::vector<int> faces(AsSize(personCount), 0);
    for (int j = 0; j < count; ++j) At(place, j) = faces[AsSize(At(people, j))]++;
    const int most = faces.empty() ? 0 : *std::max_element(faces.begin(), faces.end());

    std::vector<int> named(candidates, 0);
    std::vector<double> margins(candidates, 0.0);
    bool anyFold = false;
    // Held out: each person's last face (of those with two faces or more),
    // then, with more folds, each person's first.
    for (int fold = 0; fold < std::min(regularizationFolds, most); ++fold) {
        std::vector<int> training, held;
        for (int j = 0; j < count; ++j) {
            const int p = At(people, j);
            const int last = At(faces, p) - 1;
            const bool heldOut = last >= 1 && At(place, j) == (fold == 0 ? last : 0);
            (heldOut ? held : training).push_back(j);
        }
        if (held.empty()) continue;
        std::vector<float> trainingCoordinates, heldCoordinates;
        std::vector<int> trainingPeople;
        const auto gather = [&](const std::vector<int>& positions, std::vector<float>& into) {
            into.reserve(positions.size() * AsSize(inputs));
            for (int j : positions)
                into.insert(into.end(), coordinates + static_cast<ptrdiff_t>(j) * stride,
                            coordinates + static_cast<ptrdiff_t>(j) * stride + inputs);
        };
        gather(training, trainingCoordinates);
        gather(held, heldCoordinates);
        for (int j : training) trainingPeople.push_back(At(people, j));
        std::optional<Discriminant::Scatter> scatter;
        try {
            scatter = Discriminant::ScatterOf(trainingCoordinates.data(), inputs, inputs,
                                              static_cast<int>(training.size()), trainingPeople,
                                              personCount);
        } catch (const morlin::Error&) {
            continue;
        }
        for (size_t r = 0; r < candidates; ++r) {
            Discriminant stage;
            try {
                stage = Discriminant::FromScatter(*scatter, regularizationCandidates[r]);
            } catch (const morlin::Error&) {
                continue;
            }
            anyFold = true;
            const int d = stage.Dimensions();
            std::vector<float> gallery(training.size() * AsSize(d));
            stage.ApplyMany(trainingCoordinates.data(), inputs, static_cast<int>(training.size()),
                            gallery.data());
            std::vector<float> probes(held.size() * AsSize(d));
            stage.ApplyMany(heldCoordinates.data(), inputs, static_cast<int>(held.size()),
                            probes.data());
            ForEachProbeDistances(
                probes.data(), static_cast<int>(held.size()), gallery.data(),
                static_cast<int>(training.size()), d, [&](int k, const double* distances) {
                    const int truth = people[AsSize(At(held, k))];
                    const RankedPeople ranked =
                        RankPeople(NearestPerPerson(distances, trainingPeople, personCount));
                    if (ranked.best == truth) {
                        ++named[r];
                        margins[r] += RatioScore(ranked);
                    }
                });
        }
    }
    if (!anyFold) return std::nullopt;
    size_t chosen = 0;
    for (size_t r = 1; r < candidates; ++r)
        if (named[r] > named[chosen] || (named[r] == named[chosen] && margins[r] < margins[chosen]))
            chosen = r;
    return regularizationCandidates[chosen];
}
