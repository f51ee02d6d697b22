// The Jacobi solver: the designed cases by hand, and agreement with LAPACK.
#include "eigen/jacobi_eigen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "eigen/eigen_decomposition.h"
#include "matrix/matrix.h"
#include "reference.h"

namespace {

using namespace MatrixSpace;

matrix* Symmetric(const std::vector<std::vector<float>>& rows) {
    const int n = static_cast<int>(rows.size());
    matrix* a = MakeMatrix(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            a->col[j][i] = rows[static_cast<size_t>(i)][static_cast<size_t>(j)];
    return a;
}

struct Decomposed {
    MatrixGuard v;
    MatrixGuard e;
};

Decomposed Solve(const matrix* input, float eps = 0.001f) {
    const int n = input->rows;
    MatrixGuard scratch(CopyMatrix(input));
    Decomposed d{MatrixGuard(MakeMatrix(n, n)), MatrixGuard(MakeMatrix(n, 1))};
    EXPECT_EQ(JacobiEigen(scratch.get(), d.v.get(), d.e.get(), n, eps), 0);
    return d;
}

TEST(JacobiTest, DiagonalInputIsOnlySortedByAbsoluteValue) {
    MatrixGuard a(Symmetric({{1, 0, 0}, {0, -5, 0}, {0, 0, 3}}));
    Decomposed d = Solve(a.get());
    EXPECT_EQ(d.e->col[0][0], -5.0f);
    EXPECT_EQ(d.e->col[0][1], 3.0f);
    EXPECT_EQ(d.e->col[0][2], 1.0f);
    // Columns of the identity, swapped with their eigenvalues.
    EXPECT_EQ(d.v->col[0][1], 1.0f);
    EXPECT_EQ(d.v->col[1][2], 1.0f);
    EXPECT_EQ(d.v->col[2][0], 1.0f);
    EXPECT_EQ(d.v->col[0][0] + d.v->col[0][2] + d.v->col[1][0] + d.v->col[1][1], 0.0f);
}

TEST(JacobiTest, EigenvaluesSortedByAbsoluteValueWithTiesKeptInPlace) {
    MatrixGuard a(Symmetric({{-2, 0, 0}, {0, 2, 0}, {0, 0, 5}}));
    Decomposed d = Solve(a.get());
    EXPECT_EQ(d.e->col[0][0], 5.0f);
    EXPECT_EQ(d.e->col[0][1], 2.0f);
    EXPECT_EQ(d.e->col[0][2], -2.0f);
}

TEST(JacobiTest, OneByOneGivesItsElement) {
    MatrixGuard a(Symmetric({{7.5f}}));
    Decomposed d = Solve(a.get(), 0.0f);
    EXPECT_EQ(d.e->col[0][0], 7.5f);
    EXPECT_EQ(d.v->col[0][0], 1.0f);
}

TEST(JacobiTest, TwoByTwoExample) {
    MatrixGuard a(Symmetric({{2, 1}, {1, 3}}));
    Decomposed d = Solve(a.get());
    EXPECT_NEAR(d.e->col[0][0], (5.0 + std::sqrt(5.0)) / 2.0, 1e-6);
    EXPECT_NEAR(d.e->col[0][1], (5.0 - std::sqrt(5.0)) / 2.0, 1e-6);
    // A v = lambda v for both columns.
    for (int k = 0; k < 2; ++k) {
        const float* v = d.v->col[k];
        EXPECT_NEAR(2 * v[0] + 1 * v[1], d.e->col[0][k] * v[0], 1e-5);
        EXPECT_NEAR(1 * v[0] + 3 * v[1], d.e->col[0][k] * v[1], 1e-5);
    }
}

TEST(JacobiTest, ZeroToleranceWorksAsTheSmallestTolerance) {
    MatrixGuard a(RandomSymmetric(12, 3));
    Decomposed zero = Solve(a.get(), 0.0f);
    Decomposed smallest = Solve(a.get(), 1e-7f);
    for (int k = 0; k < 12; ++k) EXPECT_EQ(zero.e->col[0][k], smallest.e->col[0][k]);
}

TEST(JacobiTest, InputKeepsOnlyRotatedPairsAboveTheDiagonal) {
    MatrixGuard a(Symmetric({{2, 1}, {1, 3}}));
    Decomposed d{MatrixGuard(MakeMatrix(2, 2)), MatrixGuard(MakeMatrix(2, 1))};
    JacobiEigen(a.get(), d.v.get(), d.e.get(), 2, 0.001f);
    EXPECT_EQ(a->col[1][0], 0.0f);
    EXPECT_EQ(a->col[0][1], 0.0f);
}

class JacobiRandomTest : public ::testing::TestWithParam<int> {};

TEST_P(JacobiRandomTest, AgreesWithLapackAndGivesOrthonormalVectors) {
    const int n = GetParam();
    MatrixGuard a(RandomSymmetric(n, static_cast<unsigned>(n)));
    const std::vector<double> reference = ReferenceEigenvalues(a.get());
    Decomposed d = Solve(a.get());
    const double scale = std::fabs(reference[0]);
    for (int k = 0; k < n; ++k)
        EXPECT_NEAR(d.e->col[0][k], reference[static_cast<size_t>(k)], 1e-4 * scale) << k;

    double worstOrthogonality = 0.0, worstResidual = 0.0;
    for (int p = 0; p < n; ++p) {
        for (int q = p; q < n; ++q) {
            double s = 0.0;
            for (int i = 0; i < n; ++i) s += double{d.v->col[p][i]} * d.v->col[q][i];
            worstOrthogonality = std::max(worstOrthogonality, std::fabs(s - (p == q ? 1.0 : 0.0)));
        }
        double residual = 0.0;
        for (int i = 0; i < n; ++i) {
            double av = 0.0;
            for (int k = 0; k < n; ++k) av += double{a->col[k][i]} * d.v->col[p][k];
            const double r = av - double{d.e->col[0][p]} * d.v->col[p][i];
            residual += r * r;
        }
        worstResidual = std::max(worstResidual, std::sqrt(residual));
    }
    EXPECT_LT(worstOrthogonality, 1e-4);
    EXPECT_LT(worstResidual, 1e-3 * scale);
}

INSTANTIATE_TEST_SUITE_P(Sizes, JacobiRandomTest, ::testing::Values(3, 17, 60, 150, 400),
                         [](const ::testing::TestParamInfo<int>& size) {
                             return std::to_string(size.param) + "x" + std::to_string(size.param);
                         });

TEST(EigenDecompositionTest, KeepsLeadingComponentsAndHandsOutCopies) {
    MatrixGuard a(RandomSymmetric(10, 11));
    MatrixGuard scratch(CopyMatrix(a.get()));
    EigenResult received;
    {
        EigenDecomposition decomposition;
        decomposition.Decompose(scratch.get(), 4);
        decomposition.GetResult(received);
    }
    // The decomposition is gone; the copies are the receiver's.
    ASSERT_EQ(received.componentCount, 4);
    EXPECT_EQ(received.eigenvectors->rows, 10);
    EXPECT_EQ(received.eigenvectors->cols, 4);
    EXPECT_EQ(received.eigenvalues->rows, 4);
    EXPECT_EQ(received.eigenvalues->cols, 1);
    Decomposed full = Solve(a.get());
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(received.eigenvalues->col[0][k], full.e->col[0][k]);
        for (int i = 0; i < 10; ++i) EXPECT_EQ(received.eigenvectors->col[k][i], full.v->col[k][i]);
    }
    FreeMatrix(received.eigenvectors);
    FreeMatrix(received.eigenvalues);
}

}  // namespace
