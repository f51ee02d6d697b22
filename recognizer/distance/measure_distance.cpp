// Distance measures. Elements, eigenvalues and weights are floats and sums are
// doubles, except where a measure keeps a quantity in float on purpose (the
// Correlation means and cross sum, MahCosine's weighted sums, LDASoft's running
// sum): those are part of the reference arithmetic and stay as they are.
#include "distance/measure_distance.h"

#include <cmath>
#include <algorithm>
#include <vector>

#include "matrix/matrix.h"

namespace {

using MatrixSpace::matrix;

struct Columns {
    const float* x;
    const float* y;
    int n;
};

double CityBlock(Columns c) {
    double sum = 0.0;
    for (int k = 0; k < c.n; ++k) sum += std::fabs(double{c.x[k]} - double{c.y[k]});
    return sum;
}

double Euclidean(Columns c) {
    double sum = 0.0;
    for (int k = 0; k < c.n; ++k) {
        const double d = double{c.x[k]} - double{c.y[k]};
        sum += d * d;
    }
    return std::sqrt(sum);
}

double Covariance(Columns c) {
    double xy = 0.0, xx = 0.0, yy = 0.0;
    for (int k = 0; k < c.n; ++k) {
        xy += double{c.x[k]} * c.y[k];
        xx += double{c.x[k]} * c.x[k];
        yy += double{c.y[k]} * c.y[k];
    }
    return 1.0 - xy / (std::sqrt(yy) * std::sqrt(xx));
}

double Correlation(Columns c) {
    const double count = c.n;
    double sumX = 0.0, sumY = 0.0;
    for (int k = 0; k < c.n; ++k) {
        sumX += c.x[k];
        sumY += c.y[k];
    }
    const float meanX = static_cast<float>(sumX / count);
    const float meanY = static_cast<float>(static_cast<float>(sumY) / count);
    const double scale = 1.0 / (count - 1.0);
    float sxy = 0.0f;
    double sxx = 0.0, syy = 0.0;
    for (int k = 0; k < c.n; ++k) {
        const float dx = c.x[k] - meanX;
        const float dy = c.y[k] - meanY;
        sxy += dx * dy;
        sxx += double{dx} * dx;
        syy += double{dy} * dy;
    }
    return 1.0 - scale * sxy / (std::sqrt(scale * syy) * std::sqrt(scale * sxx));
}

double MahCosine(Columns c, const float* w) {
    float uv = 0.0f, vv = 0.0f;
    double uu = 0.0;
    for (int k = 0; k < c.n; ++k) {
        const float u = c.x[k] * w[k];
        const float v = c.y[k] * w[k];
        uv += u * v;
        vv += v * v;
        uu += double{u} * u;
    }
    const float inverseNormV = static_cast<float>(1.0 / std::sqrt(double{vv}));
    const float inverseNormU = static_cast<float>(1.0 / std::sqrt(uu));
    return -(uv * inverseNormV * inverseNormU);
}

double YamborAngle(Columns c, const float* lambda, int usable) {
    double xx = 0.0, yy = 0.0;
    for (int k = 0; k < c.n; ++k) {
        xx += double{c.x[k]} * c.x[k];
        yy += double{c.y[k]} * c.y[k];
    }
    const double normX = std::sqrt(xx), normY = std::sqrt(yy);
    double sum = 0.0;
    for (int k = 0; k < c.n && k < usable; ++k) {
        const float w = static_cast<float>(1.0 / std::sqrt(double{lambda[k]}));
        sum += (c.x[k] / normX) * (c.y[k] / normY) * w;
    }
    return -sum;
}

double YamborDistance(Columns c, const float* w) {
    double sum = 0.0;
    for (int k = 0; k < c.n; ++k) sum += double{c.x[k]} * c.y[k] * w[k];
    return -sum;
}

double MahL1(Columns c, const float* w) {
    double sum = 0.0;
    for (int k = 0; k < c.n; ++k) sum += std::fabs(double{c.x[k]} - double{c.y[k]}) * w[k];
    return sum;
}

double MahL2(Columns c, const float* w) {
    double sum = 0.0;
    for (int k = 0; k < c.n; ++k) {
        const double d = double{c.x[k]} - double{c.y[k]};
        sum += d * d * w[k];
    }
    return std::sqrt(sum);
}

double LDASoft(Columns c, const float* lambda, int usable) {
    float sum = 0.0f;
    for (int k = 0; k < c.n && k < usable; ++k) {
        const float d = c.x[k] - c.y[k];
        sum = static_cast<float>(sum + std::pow(double{lambda[k]}, 0.2) * d * d);
    }
    return sum;
}

}  // namespace

double MeasureDistanceBetween(const float* x, const float* y, int n, const float* lambda,
                              int usable, int measure, const float* weight) {
    const Columns c{x, y, n};
    switch (static_cast<DistanceMeasure>(measure)) {
        case DistanceMeasure::CityBlock:
            return CityBlock(c);
        case DistanceMeasure::Euclidean:
            return Euclidean(c);
        case DistanceMeasure::Covariance:
            return Covariance(c);
        case DistanceMeasure::Correlation:
            return Correlation(c);
        case DistanceMeasure::MahCosine:
            return MahCosine(c, weight);
        case DistanceMeasure::YamborAngle:
            return YamborAngle(c, lambda, usable);
        case DistanceMeasure::YamborDistance:
            return YamborDistance(c, weight);
        case DistanceMeasure::MahL1:
            return MahL1(c, weight);
        case DistanceMeasure::MahL2:
            return MahL2(c, weight);
        case DistanceMeasure::LDASoft:
            return LDASoft(c, lambda, usable);
    }
    return 0.0;
}

namespace {

// measure between each of count rows of xs and y, the measure chosen once.
template <typename Measure>
void EachRow(const float* xs, int count, const float* y, int n, double* out, Measure measure) {
    for (int i = 0; i < count; ++i)
        out[i] = measure(Columns{xs + static_cast<ptrdiff_t>(i) * n, y, n});
}

}  // namespace

void MeasureDistancesBetween(const float* xs, int count, const float* y, int n, const float* lambda,
                             int usable, int measure, const float* weight, double* out) {
    switch (static_cast<DistanceMeasure>(measure)) {
        case DistanceMeasure::CityBlock:
            return EachRow(xs, count, y, n, out, CityBlock);
        case DistanceMeasure::Euclidean:
            return EachRow(xs, count, y, n, out, Euclidean);
        case DistanceMeasure::Covariance:
            return EachRow(xs, count, y, n, out, Covariance);
        case DistanceMeasure::Correlation:
            return EachRow(xs, count, y, n, out, Correlation);
        case DistanceMeasure::MahCosine:
            return EachRow(xs, count, y, n, out,
                           [weight](Columns c) { return MahCosine(c, weight); });
        case DistanceMeasure::YamborAngle:
            return EachRow(xs, count, y, n, out,
                           [lambda, usable](Columns c) { return YamborAngle(c, lambda, usable); });
        case DistanceMeasure::YamborDistance:
            return EachRow(xs, count, y, n, out,
                           [weight](Columns c) { return YamborDistance(c, weight); });
        case DistanceMeasure::MahL1:
            return EachRow(xs, count, y, n, out, [weight](Columns c) { return MahL1(c, weight); });
        case DistanceMeasure::MahL2:
            return EachRow(xs, count, y, n, out, [weight](Columns c) { return MahL2(c, weight); });
        case DistanceMeasure::LDASoft:
            return EachRow(xs, count, y, n, out,
                           [lambda, usable](Columns c) { return LDASoft(c, lambda, usable); });
    }
    std::fill(out, out + count, 0.0);
}

std::optional<DistanceWeights::Slot> WeightSlotOf(int measure) {
    switch (static_cast<DistanceMeasure>(measure)) {
        case DistanceMeasure::MahCosine:
            return DistanceWeights::MahCosineSlot;
        case DistanceMeasure::YamborDistance:
            return DistanceWeights::YamborDistanceSlot;
        case DistanceMeasure::MahL1:
            return DistanceWeights::MahL1Slot;
        case DistanceMeasure::MahL2:
            return DistanceWeights::MahL2Slot;
        default:
            return std::nullopt;
    }
}

double MeasureDistance(const MatrixSpace::matrix* coords, int x, int y,
                       const MatrixSpace::matrix* eigenvalues, int measure,
                       DistanceWeights& weights) {
    const std::optional<DistanceWeights::Slot> slot = WeightSlotOf(measure);
    const float* weight = slot ? weights.For(*slot, eigenvalues).data() : nullptr;
    return MeasureDistanceBetween(coords->col[x], coords->col[y], coords->rows, eigenvalues->col[0],
                                  weights.UsableComponents(), measure, weight);
}
