// The matrix library: layout, products, ranges and refused allocations.
#include "matrix/matrix.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using namespace MatrixSpace;

// Fills element (i, j) with i * 10 + j + offset, so every element is distinct.
matrix* Numbered(int rows, int cols, float offset = 0.0f) {
    matrix* m = MakeMatrix(rows, cols);
    for (int j = 0; j < cols; ++j)
        for (int i = 0; i < rows; ++i) m->col[j][i] = static_cast<float>(i * 10 + j) + offset;
    return m;
}

void ExpectEqualMatrices(const matrix* a, const matrix* b) {
    ASSERT_EQ(a->rows, b->rows);
    ASSERT_EQ(a->cols, b->cols);
    for (int j = 0; j < a->cols; ++j)
        for (int i = 0; i < a->rows; ++i) EXPECT_EQ(a->col[j][i], b->col[j][i]) << i << "," << j;
}

TEST(MatrixTest, ColumnsAreContiguousAndColumnMajor) {
    MatrixGuard m(MakeMatrix(3, 2));
    EXPECT_EQ(m->rows, 3);
    EXPECT_EQ(m->cols, 2);
    EXPECT_EQ(m->col[0], m->data);
    EXPECT_EQ(m->col[1], m->data + 3);
    m->col[1][0] = 42.0f;
    EXPECT_EQ(m->data[3], 42.0f);
}

TEST(MatrixTest, ZeroAndCopy) {
    MatrixGuard z(ZeroMatrix(4, 3));
    for (int k = 0; k < 12; ++k) EXPECT_EQ(z->data[k], 0.0f);
    MatrixGuard a(Numbered(4, 3));
    MatrixGuard c(CopyMatrix(a.get()));
    EXPECT_NE(c->data, a->data);
    ExpectEqualMatrices(a.get(), c.get());
}

TEST(MatrixTest, MultiplyMatchesHandComputedProduct) {
    // [1 2; 3 4] x [5 6; 7 8] = [19 22; 43 50]
    MatrixGuard a(MakeMatrix(2, 2)), b(MakeMatrix(2, 2));
    a->col[0][0] = 1, a->col[1][0] = 2, a->col[0][1] = 3, a->col[1][1] = 4;
    b->col[0][0] = 5, b->col[1][0] = 6, b->col[0][1] = 7, b->col[1][1] = 8;
    MatrixGuard p(MultiplyMatrix(a.get(), b.get()));
    EXPECT_EQ(p->col[0][0], 19.0f);
    EXPECT_EQ(p->col[1][0], 22.0f);
    EXPECT_EQ(p->col[0][1], 43.0f);
    EXPECT_EQ(p->col[1][1], 50.0f);
}

TEST(MatrixTest, NonSquareProductShapesFollowTheArguments) {
    MatrixGuard a(Numbered(3, 4)), b(Numbered(4, 2, 1.0f));
    MatrixGuard p(MultiplyMatrix(a.get(), b.get()));
    ASSERT_EQ(p->rows, 3);
    ASSERT_EQ(p->cols, 2);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) {
            float expected = 0.0f;
            for (int k = 0; k < 4; ++k) expected += a->col[k][i] * b->col[j][k];
            EXPECT_EQ(p->col[j][i], expected);
        }
}

TEST(MatrixTest, MultiplyTransposedEqualsProductWithTranspose) {
    MatrixGuard a(Numbered(5, 3, 0.25f)), b(Numbered(5, 4, -2.0f));
    MatrixGuard at(TransposeMatrix(a.get()));
    ASSERT_EQ(at->rows, 3);
    ASSERT_EQ(at->cols, 5);
    EXPECT_EQ(at->col[4][2], a->col[2][4]);
    MatrixGuard direct(MultiplyTransposed(a.get(), b.get()));
    MatrixGuard viaTranspose(MultiplyMatrix(at.get(), b.get()));
    ExpectEqualMatrices(direct.get(), viaTranspose.get());
}

TEST(MatrixTest, EmptyInnerDimensionGivesZeros) {
    MatrixGuard a(MakeMatrix(3, 0)), b(MakeMatrix(0, 2));
    MatrixGuard p(MultiplyMatrix(a.get(), b.get()));
    ASSERT_EQ(p->rows, 3);
    ASSERT_EQ(p->cols, 2);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(p->data[k], 0.0f);
    MatrixGuard c(MakeMatrix(0, 3)), d(MakeMatrix(0, 2));
    MatrixGuard t(MultiplyTransposed(c.get(), d.get()));
    for (int k = 0; k < 6; ++k) EXPECT_EQ(t->data[k], 0.0f);
}

TEST(MatrixTest, AddAndAddToLeaveSecondArgumentUnchanged) {
    MatrixGuard a(Numbered(2, 3)), b(Numbered(2, 3, 0.5f));
    MatrixGuard bBefore(CopyMatrix(b.get()));
    MatrixGuard sum(AddMatrix(a.get(), b.get()));
    AddToMatrix(a.get(), b.get());
    ExpectEqualMatrices(sum.get(), a.get());
    ExpectEqualMatrices(b.get(), bBefore.get());
    EXPECT_EQ(sum->col[2][1], (10.0f + 2.0f) * 2.0f + 0.5f);
}

TEST(MatrixTest, ColumnRangeIsOneBasedAndOrderFree) {
    MatrixGuard a(Numbered(3, 4));
    MatrixGuard forward(ColumnRange(a.get(), 1, 3));
    MatrixGuard backward(ColumnRange(a.get(), 3, 1));
    ASSERT_EQ(forward->cols, 3);
    ExpectEqualMatrices(forward.get(), backward.get());
    for (int j = 0; j < 3; ++j) EXPECT_EQ(forward->col[j][2], a->col[j][2]);
    MatrixGuard single(ColumnRange(a.get(), 2, 2));
    ASSERT_EQ(single->cols, 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(single->col[0][i], a->col[1][i]);
}

TEST(MatrixTest, RowRangeTakesLeadingEntriesOfAVector) {
    MatrixGuard v(Numbered(6, 1));
    MatrixGuard head(RowRange(v.get(), 1, 4));
    ASSERT_EQ(head->rows, 4);
    ASSERT_EQ(head->cols, 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(head->col[0][i], v->col[0][i]);
    MatrixGuard a(Numbered(5, 3));
    MatrixGuard middle(RowRange(a.get(), 4, 2));
    ASSERT_EQ(middle->rows, 3);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) EXPECT_EQ(middle->col[j][i], a->col[j][i + 1]);
}

TEST(MatrixTest, GuardReleaseHandsOverOwnership) {
    MatrixGuard guard(MakeMatrix(2, 2));
    matrix* m = guard.release();
    EXPECT_EQ(guard.get(), nullptr);
    FreeMatrix(m);
    FreeMatrix(nullptr);
}

TEST(MatrixTest, FailedBlockAllocationReportsTheSizeAndThrows) {
    // A block larger than any address space: the allocation must fail.
    ::testing::internal::CaptureStderr();
    try {
        MakeMatrix(0x7fffffff, 0x7fffffff);
        ADD_FAILURE() << "no MatrixAllocationError";
    } catch (const MatrixAllocationError& e) {
        EXPECT_EQ(e.Bytes(), size_t{0x7fffffff} * 0x7fffffff * sizeof(float));
    }
    // A sanitizer's allocator may add its own warning before the line.
    EXPECT_NE(
        ::testing::internal::GetCapturedStderr().find("Matrix Size: 2147483647 X 2147483647\n"),
        std::string::npos);
}

}  // namespace
