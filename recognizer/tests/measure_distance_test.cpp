// The ten distance measures on hand-computed columns.
#include "distance/measure_distance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gallery.h"
#include "matrix/matrix.h"

namespace {

using namespace MatrixSpace;

// A coordinate matrix whose columns are the given vectors, and an eigenvalue column.
struct Coordinates {
    Coordinates(const std::vector<std::vector<float>>& columns, const std::vector<float>& lambdas)
        : coords(MakeMatrix(static_cast<int>(columns[0].size()), static_cast<int>(columns.size()))),
          eigenvalues(MakeMatrix(static_cast<int>(lambdas.size()), 1)) {
        for (size_t j = 0; j < columns.size(); ++j)
            for (size_t i = 0; i < columns[j].size(); ++i) coords->col[j][i] = columns[j][i];
        for (size_t i = 0; i < lambdas.size(); ++i) eigenvalues->col[0][i] = lambdas[i];
    }
    double Distance(int x, int y, int measure) {
        return MeasureDistance(coords.get(), x, y, eigenvalues.get(), measure, weights);
    }

    MatrixGuard coords;
    MatrixGuard eigenvalues;
    DistanceWeights weights;
};

TEST(MeasureDistanceTest, IdenticalColumns) {
    const std::vector<float> x{1.0f, -2.0f, 0.5f};
    const std::vector<float> lambda{4.0f, 2.0f, 0.25f};
    Coordinates c({x, x}, lambda);
    for (int m : {0, 1, 7, 8, 9}) EXPECT_EQ(c.Distance(0, 1, m), 0.0) << m;
    EXPECT_NEAR(c.Distance(0, 1, 2), 0.0, 1e-7);
    EXPECT_NEAR(c.Distance(0, 1, 3), 0.0, 1e-6);
    EXPECT_NEAR(c.Distance(0, 1, 4), -1.0, 1e-6);
    double angle = 0.0, yambor = 0.0, norm2 = 0.0;
    for (float v : x) norm2 += double{v} * v;
    for (size_t k = 0; k < 3; ++k) {
        angle += x[k] * x[k] / norm2 / std::sqrt(lambda[k]);
        yambor += x[k] * x[k] / lambda[k];
    }
    EXPECT_NEAR(c.Distance(0, 1, 5), -angle, 1e-6);
    EXPECT_NEAR(c.Distance(0, 1, 6), -yambor, 1e-5);
}

TEST(MeasureDistanceTest, HandComputedValues) {
    Coordinates c({{1, 2, 3}, {2, 0, 3}}, {1, 4, 9});
    EXPECT_DOUBLE_EQ(c.Distance(0, 1, 0), 3.0);
    EXPECT_NEAR(c.Distance(0, 1, 1), std::sqrt(5.0), 1e-12);
    EXPECT_NEAR(c.Distance(0, 1, 2), 1.0 - 11.0 / (std::sqrt(13.0) * std::sqrt(14.0)), 1e-7);
    EXPECT_NEAR(c.Distance(0, 1, 6), -(2.0 / 1 + 0.0 / 4 + 9.0 / 9), 1e-6);
    EXPECT_NEAR(c.Distance(0, 1, 7), 1.0 / 1 + 2.0 / 2 + 0.0, 1e-6);
    EXPECT_NEAR(c.Distance(0, 1, 8), std::sqrt(1.0 / 1 + 4.0 / 4), 1e-6);
    EXPECT_NEAR(c.Distance(0, 1, 9), 1.0 + std::pow(4.0, 0.2) * 4.0, 1e-5);
    // Correlation of (1,2,3) and (2,0,3): means 2 and 5/3.
    const double sxy = (-1) * (1.0 / 3) + 0 + 1 * (4.0 / 3);
    const double sxx = 2.0, syy = 1.0 / 9 + 25.0 / 9 + 16.0 / 9;
    EXPECT_NEAR(c.Distance(0, 1, 3), 1.0 - sxy / std::sqrt(sxx * syy), 1e-6);
}

TEST(MeasureDistanceTest, UnitEigenvaluesReduceWeightedMeasures) {
    Coordinates c({{0.3f, -1.2f, 2.5f, 0.0f}, {1.1f, 0.4f, -0.7f, 2.0f}}, {1, 1, 1, 1});
    EXPECT_NEAR(c.Distance(0, 1, 7), c.Distance(0, 1, 0), 1e-6);
    EXPECT_NEAR(c.Distance(0, 1, 8), c.Distance(0, 1, 1), 1e-6);
    const double euclidean = c.Distance(0, 1, 1);
    EXPECT_NEAR(c.Distance(0, 1, 9), euclidean * euclidean, 1e-5);
}

TEST(MeasureDistanceTest, IndexOutside0To9GivesZero) {
    Coordinates c({{1, 2}, {5, -7}}, {1, 2});
    EXPECT_EQ(c.Distance(0, 1, 10), 0.0);
    EXPECT_EQ(c.Distance(0, 1, -1), 0.0);
}

TEST(MeasureDistanceTest, DegenerateInputsGiveNaN) {
    Coordinates single({{1}, {2}}, {1});
    EXPECT_TRUE(std::isnan(single.Distance(0, 1, 3)));
    Coordinates zero({{0, 0}, {1, 2}}, {1, 1});
    EXPECT_TRUE(std::isnan(zero.Distance(0, 1, 2)));
}

TEST(MeasureDistanceTest, ZeroComponentsHaveWeightZero) {
    // The last component's eigenvalue is rounding noise: it must not dominate.
    Coordinates c({{1, 2, 0}, {2, 1, 0}}, {4, 1, 1e-12f});
    c.weights.Reset(2);
    for (int m = 0; m < 10; ++m) EXPECT_TRUE(std::isfinite(c.Distance(0, 1, m))) << m;
    c.coords->col[0][2] = 0.5f;  // even a coordinate there adds nothing weighted
    EXPECT_NEAR(c.Distance(0, 1, 7), 1.0 / 2 + 1.0, 1e-6);
    EXPECT_NEAR(c.Distance(0, 1, 8), std::sqrt(1.0 / 4 + 1.0), 1e-6);
    EXPECT_NEAR(c.Distance(0, 1, 9), std::pow(4.0, 0.2) + 1.0, 1e-5);
}

TEST(MeasureDistanceTest, WeightsAreCachedUntilReset) {
    Coordinates c({{1, 0}, {0, 0}}, {4, 1});
    EXPECT_NEAR(c.Distance(0, 1, 7), 0.5, 1e-7);
    c.eigenvalues->col[0][0] = 16.0f;  // a new model without a reset: old weights
    EXPECT_NEAR(c.Distance(0, 1, 7), 0.5, 1e-7);
    c.weights.Reset();
    EXPECT_NEAR(c.Distance(0, 1, 7), 0.25, 1e-7);
}

}  // namespace
