// The recognizer's one numeric container: a dense single-precision matrix stored
// column after column, made and released only through the functions below.
// Shapes and bounds are the caller's to keep; nothing here checks them.
#pragma once

#include <cstddef>
#include <new>

namespace MatrixSpace {

// A matrix block that could not be allocated; what() names its size.
class MatrixAllocationError : public std::bad_alloc {
public:
    MatrixAllocationError(int rows, int cols);
    const char* what() const noexcept override { return message; }
    // Bytes the block would have taken.
    size_t Bytes() const { return bytes; }

private:
    size_t bytes;
    char message[96];
};

// rows x cols floats in one column-major block; col[j] points at column j.
// Three malloc'd allocations (record, block, pointer array), released together.
struct matrix {
    int rows;
    int cols;
    float* data;
    float** col;
};

// rows x cols, elements not initialised. A failed block allocation prints
// "Matrix Size: %d X %d\n" on stderr and throws MatrixAllocationError; the
// recognizer's operations catch it and refuse, so the host is never aborted.
matrix* MakeMatrix(int rows, int cols);
// rows x cols of zeros.
matrix* ZeroMatrix(int rows, int cols);
// Releases the block, the pointer array and the record; null is ignored.
void FreeMatrix(matrix* a);
matrix* CopyMatrix(const matrix* a);
// a x b; the inner dimension is a->cols.
matrix* MultiplyMatrix(const matrix* a, const matrix* b);
// a' x b; the inner dimension is a->rows.
matrix* MultiplyTransposed(const matrix* a, const matrix* b);
matrix* TransposeMatrix(const matrix* a);
// a + b over the shape of a.
matrix* AddMatrix(const matrix* a, const matrix* b);
// a += b over the shape of a; b is left unchanged.
void AddToMatrix(matrix* a, const matrix* b);
// Columns min(first,last) .. max(first,last), counted from 1, in ascending order.
matrix* ColumnRange(const matrix* a, int first, int last);
// Rows min(first,last) .. max(first,last), counted from 1, in ascending order.
matrix* RowRange(const matrix* a, int first, int last);

// Owns one matrix for the length of a scope, so an early return cannot leak it.
class MatrixGuard {
public:
    explicit MatrixGuard(matrix* m = nullptr) : held(m) {}
    ~MatrixGuard() { FreeMatrix(held); }
    MatrixGuard(const MatrixGuard&) = delete;
    MatrixGuard& operator=(const MatrixGuard&) = delete;
    MatrixGuard(MatrixGuard&& other) noexcept : held(other.release()) {}
    MatrixGuard& operator=(MatrixGuard&& other) noexcept {
        if (this != &other) {
            FreeMatrix(held);
            held = other.release();
        }
        return *this;
    }

    matrix* get() const { return held; }
    matrix* operator->() const { return held; }
    // Hands the matrix to a new owner; the guard then holds nothing.
    matrix* release() {
        matrix* m = held;
        held = nullptr;
        return m;
    }

private:
    matrix* held;
};

}  // namespace MatrixSpace
