// Histogram equalization of matrix columns: the designed fractions, levels and ranges.
#include <gtest/gtest.h>

#include <vector>

#include "matrix/matrix.h"
#include "morlin/morlin.h"

namespace {

using namespace MatrixSpace;

matrix* ColumnsOf(const std::vector<std::vector<float>>& columns) {
    matrix* m = MakeMatrix(static_cast<int>(columns[0].size()), static_cast<int>(columns.size()));
    for (size_t j = 0; j < columns.size(); ++j)
        for (size_t i = 0; i < columns[j].size(); ++i) m->col[j][i] = columns[j][i];
    return m;
}

std::vector<float> Column(const matrix* m, int j) {
    return std::vector<float>(m->col[j], m->col[j] + m->rows);
}

class HistEqTest : public ::testing::Test {
protected:
    void Equalize(matrix* m, int first, int last) { recognizer.HistEq(m, first, last); }
    CNolt_PCARecognition recognizer;
};

TEST_F(HistEqTest, FractionOfPixelsStrictlyBelowEachLevel) {
    MatrixGuard m(ColumnsOf({{0, 1, 2, 3}, {10, 200, 10, 200}, {7, 7, 7, 7}}));
    matrix* p = m.get();
    Equalize(p, 0, 2);
    EXPECT_EQ(Column(p, 0), (std::vector<float>{0.0f, 0.25f, 0.5f, 0.75f}));
    EXPECT_EQ(Column(p, 1), (std::vector<float>{0.0f, 0.5f, 0.0f, 0.5f}));
    EXPECT_EQ(Column(p, 2), (std::vector<float>{0, 0, 0, 0}));
}

TEST_F(HistEqTest, FractionalLevelsTruncateAndEqualizedColumnBecomesZero) {
    MatrixGuard m(ColumnsOf({{1.9f, 1.2f, 0.99f, 3.0f}}));
    matrix* p = m.get();
    Equalize(p, 0, 0);
    EXPECT_EQ(Column(p, 0), (std::vector<float>{0.25f, 0.25f, 0.0f, 0.75f}));
    Equalize(p, 0, 0);
    EXPECT_EQ(Column(p, 0), (std::vector<float>{0, 0, 0, 0}));
}

TEST_F(HistEqTest, RangeIsClippedToTheMatrixAndReversedRangeDoesNothing) {
    const std::vector<float> untouched{5, 6, 7, 8};
    MatrixGuard m(ColumnsOf({{0, 1, 2, 3}, untouched, {3, 2, 1, 0}}));
    matrix* p = m.get();
    Equalize(p, 2, 1);
    EXPECT_EQ(Column(p, 0), (std::vector<float>{0, 1, 2, 3}));
    Equalize(p, 2, 99);
    EXPECT_EQ(Column(p, 2), (std::vector<float>{0.75f, 0.5f, 0.25f, 0.0f}));
    EXPECT_EQ(Column(p, 1), untouched);
    Equalize(p, -5, 0);
    EXPECT_EQ(Column(p, 0), (std::vector<float>{0.0f, 0.25f, 0.5f, 0.75f}));
    EXPECT_EQ(Column(p, 1), untouched);
}

TEST_F(HistEqTest, LevelsOutside0To255AreClamped) {
    // -40 counts as level 0, 300 and 1e30 as 255, NaN as 0.
    MatrixGuard m(ColumnsOf({{-40.0f, 300.0f, 128.0f, 1e30f, __builtin_nanf("")}}));
    matrix* p = m.get();
    Equalize(p, 0, 0);
    EXPECT_EQ(Column(p, 0), (std::vector<float>{0.0f, 0.6f, 0.4f, 0.6f, 0.0f}));
}

}  // namespace
