// Linear discriminant analysis by Cholesky whitening and a people x people
// eigenproblem; sums in double, the small eigenproblem on the Jacobi solver.
#include "identifier/discriminant.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "eigen/jacobi_eigen.h"
#include "morlin/identifier.h"
#include "identifier/person_scores.h"
#include "matrix/matrix.h"

namespace {

// Below this share of the largest, an eigenvalue of the between-person
// problem is rounding: its direction separates nobody.
constexpr double separationFloor = 1e-6;
constexpr float eigenTolerance = 1e-7f;

// Lower-triangular L with a = L L', a symmetric positive definite (only its
// lower triangle is read); both n x n row after row. false when a is not
// positive definite.
bool Cholesky(const std::vector<double>& a, int n, std::vector<double>& l) {
    l.assign(static_cast<size_t>(n) * n, 0.0);
    for (int j = 0; j < n; ++j) {
        double diagonal = a[static_cast<size_t>(j) * n + j];
        for (int k = 0; k < j; ++k) diagonal -= l[static_cast<size_t>(j) * n + k] * l[static_cast<size_t>(j) * n + k];
        if (!(diagonal > 0.0)) return false;
        const double root = std::sqrt(diagonal);
        l[static_cast<size_t>(j) * n + j] = root;
        for (int i = j + 1; i < n; ++i) {
            double sum = a[static_cast<size_t>(i) * n + j];
            for (int k = 0; k < j; ++k) sum -= l[static_cast<size_t>(i) * n + k] * l[static_cast<size_t>(j) * n + k];
            l[static_cast<size_t>(i) * n + j] = sum / root;
        }
    }
    return true;
}

// x = L^-1 b in place (forward substitution).
void SolveLower(const std::vector<double>& l, int n, double* x) {
    for (int i = 0; i < n; ++i) {
        double sum = x[i];
        for (int k = 0; k < i; ++k) sum -= l[static_cast<size_t>(i) * n + k] * x[k];
        x[i] = sum / l[static_cast<size_t>(i) * n + i];
    }
}

// x = L'^-1 b in place (back substitution).
void SolveUpper(const std::vector<double>& l, int n, double* x) {
    for (int i = n - 1; i >= 0; --i) {
        double sum = x[i];
        for (int k = i + 1; k < n; ++k) sum -= l[static_cast<size_t>(k) * n + i] * x[k];
        x[i] = sum / l[static_cast<size_t>(i) * n + i];
    }
}

}  // namespace

// What the stage learns from: means, the within-person scatter (lower
// triangle) and the total variance of count faces.
struct Discriminant::Scatter {
    int inputs = 0;
    int count = 0;
    std::vector<int> faces;    // per person
    std::vector<int> present;  // people with faces
    std::vector<double> mean;
    std::vector<double> personMean;  // inputs per person
    std::vector<double> within;      // inputs x inputs, lower triangle
    double trace = 0.0;
    double totalVariance = 0.0;
};

Discriminant::Scatter Discriminant::ScatterOf(const float* coordinates, int inputs, int stride,
                                              int count, const std::vector<int>& people,
                                              int personCount) {
    const int m = inputs;
    const auto at = [&](int j) { return coordinates + static_cast<ptrdiff_t>(j) * stride; };
    Scatter s;
    s.inputs = m;
    s.count = count;
    s.faces.assign(static_cast<size_t>(personCount), 0);
    for (int j = 0; j < count; ++j) ++s.faces[static_cast<size_t>(people[static_cast<size_t>(j)])];
    for (int p = 0; p < personCount; ++p)
        if (s.faces[static_cast<size_t>(p)] > 0) s.present.push_back(p);
    if (s.present.size() < 2)
        throw morlin::Error(
            "the discriminant stage needs at least two people to tell apart; enrol more "
            "people, or use the designed method");

    s.mean.assign(static_cast<size_t>(m), 0.0);
    s.personMean.assign(static_cast<size_t>(m) * personCount, 0.0);
    for (int j = 0; j < count; ++j) {
        const float* z = at(j);
        double* own = s.personMean.data() + static_cast<size_t>(people[static_cast<size_t>(j)]) * m;
        for (int i = 0; i < m; ++i) {
            s.mean[static_cast<size_t>(i)] += z[i];
            own[i] += z[i];
        }
    }
    for (double& v : s.mean) v /= count;
    for (int p : s.present)
        for (int i = 0; i < m; ++i)
            s.personMean[static_cast<size_t>(p) * m + i] /= s.faces[static_cast<size_t>(p)];

    s.within.assign(static_cast<size_t>(m) * m, 0.0);
    std::vector<double> offset(static_cast<size_t>(m));
    for (int j = 0; j < count; ++j) {
        const float* z = at(j);
        const double* own =
            s.personMean.data() + static_cast<size_t>(people[static_cast<size_t>(j)]) * m;
        for (int i = 0; i < m; ++i) {
            offset[static_cast<size_t>(i)] = z[i] - own[i];
            const double centred = z[i] - s.mean[static_cast<size_t>(i)];
            s.totalVariance += centred * centred;
        }
        for (int i = 0; i < m; ++i) {
            double* row = s.within.data() + static_cast<size_t>(i) * m;
            const double oi = offset[static_cast<size_t>(i)];
            for (int k = 0; k <= i; ++k) row[k] += oi * offset[static_cast<size_t>(k)];
        }
    }
    for (int i = 0; i < m; ++i) s.trace += s.within[static_cast<size_t>(i) * m + i];
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
    std::vector<double> within = s.within;
    for (int i = 0; i < m; ++i) within[static_cast<size_t>(i) * m + i] += regularization * scale;
    std::vector<double> lower;
    if (!Cholesky(within, m, lower))
        throw morlin::Error("the within-person scatter cannot be whitened");

    // Y = L^-1 M, one column per person present.
    const int c = static_cast<int>(s.present.size());
    std::vector<double> y(static_cast<size_t>(m) * c);
    for (int k = 0; k < c; ++k) {
        const int p = s.present[static_cast<size_t>(k)];
        const double weight =
            std::sqrt(static_cast<double>(s.faces[static_cast<size_t>(p)]) / s.count);
        double* column = y.data() + static_cast<size_t>(k) * m;
        for (int i = 0; i < m; ++i)
            column[i] = weight * (s.personMean[static_cast<size_t>(p) * m + i] -
                                  s.mean[static_cast<size_t>(i)]);
        SolveLower(lower, m, column);
    }
    // G = Y'Y, c x c, and its eigenvectors.
    MatrixSpace::MatrixGuard g(MatrixSpace::MakeMatrix(c, c));
    for (int a = 0; a < c; ++a)
        for (int b = 0; b <= a; ++b) {
            double sum = 0.0;
            for (int i = 0; i < m; ++i)
                sum += y[static_cast<size_t>(a) * m + i] * y[static_cast<size_t>(b) * m + i];
            g->col[b][a] = g->col[a][b] = static_cast<float>(sum);
        }
    MatrixSpace::MatrixGuard vectors(MatrixSpace::MakeMatrix(c, c));
    MatrixSpace::MatrixGuard values(MatrixSpace::MakeMatrix(c, 1));
    JacobiEigen(g.get(), vectors.get(), values.get(), c, eigenTolerance);

    Discriminant stage;
    stage.inputs = m;
    stage.regularization = regularization;
    stage.mean.assign(s.mean.begin(), s.mean.end());
    const double largest = values->col[0][0];
    std::vector<double> direction(static_cast<size_t>(m));
    for (int k = 0; k < c - 1; ++k) {
        const double lambda = values->col[0][k];
        if (!(largest > 0.0) || !(lambda > separationFloor * largest)) break;
        // u = Y v / sqrt(lambda), then w = L'^-1 u.
        const float* v = vectors->col[k];
        for (int i = 0; i < m; ++i) {
            double sum = 0.0;
            for (int b = 0; b < c; ++b) sum += y[static_cast<size_t>(b) * m + i] * v[b];
            direction[static_cast<size_t>(i)] = sum / std::sqrt(lambda);
        }
        SolveUpper(lower, m, direction.data());
        for (double w : direction) stage.directions.push_back(static_cast<float>(w));
        ++stage.dimensions;
    }
    if (stage.dimensions == 0)
        throw morlin::Error(
            "the people's faces do not differ on average: nothing to tell them apart by");
    return stage;
}

void Discriminant::Apply(const float* z, float* out) const {
    for (int k = 0; k < dimensions; ++k) {
        const float* w = directions.data() + static_cast<size_t>(k) * inputs;
        double sum = 0.0;
        for (int i = 0; i < inputs; ++i) sum += double{w[i]} * (double{z[i]} - mean[static_cast<size_t>(i)]);
        out[k] = static_cast<float>(sum);
    }
}

Discriminant Discriminant::FromParts(Parts parts) {
    if (parts.inputs < 1 || parts.dimensions < 1 || parts.dimensions > parts.inputs ||
        parts.mean.size() != static_cast<size_t>(parts.inputs) ||
        parts.directions.size() != static_cast<size_t>(parts.inputs) * parts.dimensions ||
        !std::isfinite(parts.regularization) ||
        !std::all_of(parts.mean.begin(), parts.mean.end(), [](float v) { return std::isfinite(v); }) ||
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
    std::vector<int> place(static_cast<size_t>(count));
    std::vector<int> faces(static_cast<size_t>(personCount), 0);
    for (int j = 0; j < count; ++j) place[static_cast<size_t>(j)] = faces[static_cast<size_t>(people[static_cast<size_t>(j)])]++;
    const int most = faces.empty() ? 0 : *std::max_element(faces.begin(), faces.end());

    std::vector<int> named(candidates, 0);
    std::vector<double> margins(candidates, 0.0);
    bool anyFold = false;
    // Held out: each person's last face (of those with two faces or more),
    // then, with more folds, each person's first.
    for (int fold = 0; fold < std::min(regularizationFolds, most); ++fold) {
        std::vector<int> training, held;
        for (int j = 0; j < count; ++j) {
            const int p = people[static_cast<size_t>(j)];
            const int last = faces[static_cast<size_t>(p)] - 1;
            const bool heldOut = last >= 1 && place[static_cast<size_t>(j)] == (fold == 0 ? last : 0);
            (heldOut ? held : training).push_back(j);
        }
        if (held.empty()) continue;
        std::vector<float> trainingCoordinates;
        std::vector<int> trainingPeople;
        for (int j : training) {
            trainingCoordinates.insert(trainingCoordinates.end(), coordinates + static_cast<ptrdiff_t>(j) * stride,
                                       coordinates + static_cast<ptrdiff_t>(j) * stride + inputs);
            trainingPeople.push_back(people[static_cast<size_t>(j)]);
        }
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
            std::vector<float> gallery(training.size() * static_cast<size_t>(d));
            for (size_t t = 0; t < training.size(); ++t)
                stage.Apply(trainingCoordinates.data() + t * static_cast<size_t>(inputs), gallery.data() + t * static_cast<size_t>(d));
            std::vector<float> probe(static_cast<size_t>(d));
            for (int h : held) {
                stage.Apply(coordinates + static_cast<ptrdiff_t>(h) * stride, probe.data());
                const PersonDistances nearest = NearestPerPerson(
                    probe.data(), gallery.data(), d, trainingPeople, personCount);
                const RankedPeople ranked = RankPeople(nearest);
                if (ranked.best == people[static_cast<size_t>(h)]) {
                    ++named[r];
                    margins[r] += RatioScore(ranked);
                }
            }
        }
    }
    if (!anyFold) return std::nullopt;
    size_t chosen = 0;
    for (size_t r = 1; r < candidates; ++r)
        if (named[r] > named[chosen] || (named[r] == named[chosen] && margins[r] < margins[chosen]))
            chosen = r;
    return regularizationCandidates[chosen];
}
