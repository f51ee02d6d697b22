// Matrix library: allocation, copies, products and ranges of column-major
// float matrices. Products accumulate each element in single precision with
// k rising from 0, so results match the reference arithmetic exactly.
#include "matrix/matrix.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace MatrixSpace {

MatrixAllocationError::MatrixAllocationError(int rows, int cols)
    : bytes(static_cast<size_t>(rows < 0 ? 0 : rows) * static_cast<size_t>(cols < 0 ? 0 : cols) *
            sizeof(float)) {
    std::snprintf(message, sizeof message, "cannot allocate a %d x %d matrix (%zu bytes)", rows,
                  cols, bytes);
}

matrix* MakeMatrix(int rows, int cols) {
    auto* m = static_cast<matrix*>(std::malloc(sizeof(matrix)));
    if (m == nullptr) throw std::bad_alloc();
    m->rows = rows;
    m->cols = cols;
    const size_t count = static_cast<size_t>(rows) * static_cast<size_t>(cols);
    // malloc(0) may return null; one spare float keeps an empty matrix valid.
    m->data = static_cast<float*>(std::malloc((count == 0 ? 1 : count) * sizeof(float)));
    if (m->data == nullptr) {
        std::fprintf(stderr, "Matrix Size: %d X %d\n", rows, cols);
        std::fflush(stderr);
        std::free(m);
        // Every caller writes into the result at once, so it must not return.
        throw MatrixAllocationError(rows, cols);
    }
    m->col = static_cast<float**>(
        std::malloc((cols == 0 ? 1 : static_cast<size_t>(cols)) * sizeof(float*)));
    if (m->col == nullptr) {
        std::free(m->data);
        std::free(m);
        throw std::bad_alloc();
    }
    for (int j = 0; j < cols; ++j) m->col[j] = m->data + static_cast<size_t>(j) * rows;
    return m;
}

matrix* ZeroMatrix(int rows, int cols) {
    matrix* m = MakeMatrix(rows, cols);
    std::memset(m->data, 0, static_cast<size_t>(rows) * cols * sizeof(float));
    return m;
}

void FreeMatrix(matrix* a) {
    if (a == nullptr) return;
    std::free(a->data);
    std::free(a->col);
    std::free(a);
}

matrix* CopyMatrix(const matrix* a) {
    matrix* m = MakeMatrix(a->rows, a->cols);
    std::memcpy(m->data, a->data, static_cast<size_t>(a->rows) * a->cols * sizeof(float));
    return m;
}

matrix* MultiplyMatrix(const matrix* a, const matrix* b) {
    matrix* m = ZeroMatrix(a->rows, b->cols);
    // Column j of the result is a sum of a's columns weighted by b(:, j); walking
    // k outermost keeps every access contiguous and the per-element order k = 0, 1, ...
    for (int j = 0; j < b->cols; ++j) {
        float* out = m->col[j];
        const float* bj = b->col[j];
        for (int k = 0; k < a->cols; ++k) {
            const float* ak = a->col[k];
            const float w = bj[k];
            for (int i = 0; i < a->rows; ++i) out[i] += ak[i] * w;
        }
    }
    return m;
}

matrix* MultiplyTransposed(const matrix* a, const matrix* b) {
    matrix* m = ZeroMatrix(a->cols, b->cols);
    for (int j = 0; j < b->cols; ++j) {
        const float* bj = b->col[j];
        for (int i = 0; i < a->cols; ++i) {
            const float* ai = a->col[i];
            float sum = 0.0f;
            for (int k = 0; k < a->rows; ++k) sum += ai[k] * bj[k];
            m->col[j][i] = sum;
        }
    }
    return m;
}

matrix* TransposeMatrix(const matrix* a) {
    matrix* m = MakeMatrix(a->cols, a->rows);
    for (int j = 0; j < a->cols; ++j)
        for (int i = 0; i < a->rows; ++i) m->col[i][j] = a->col[j][i];
    return m;
}

matrix* AddMatrix(const matrix* a, const matrix* b) {
    matrix* m = CopyMatrix(a);
    AddToMatrix(m, b);
    return m;
}

void AddToMatrix(matrix* a, const matrix* b) {
    for (int j = 0; j < a->cols; ++j) {
        float* aj = a->col[j];
        const float* bj = b->col[j];
        for (int i = 0; i < a->rows; ++i) aj[i] += bj[i];
    }
}

matrix* ColumnRange(const matrix* a, int first, int last) {
    const int lo = first < last ? first : last;
    const int count = (last > first ? last - first : first - last) + 1;
    matrix* m = MakeMatrix(a->rows, count);
    std::memcpy(m->data, a->col[lo - 1], static_cast<size_t>(a->rows) * count * sizeof(float));
    return m;
}

matrix* RowRange(const matrix* a, int first, int last) {
    const int lo = first < last ? first : last;
    const int count = (last > first ? last - first : first - last) + 1;
    matrix* m = MakeMatrix(count, a->cols);
    for (int j = 0; j < a->cols; ++j)
        std::memcpy(m->col[j], a->col[j] + (lo - 1), static_cast<size_t>(count) * sizeof(float));
    return m;
}

}  // namespace MatrixSpace
