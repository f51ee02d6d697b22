// Dense double-precision algebra for the identifier's methods, on the
// system's LAPACK and BLAS (OpenBLAS where installed: every call here is one
// of its blocked, vectorised routines). The designed recognizer never comes
// here: it keeps its own Jacobi solver and single-precision arithmetic.
//
// Matrices are column-major, as LAPACK takes them: element (r, c) at
// values[c * rows + r].
#pragma once

#include <cstddef>
#include <vector>

struct DenseMatrix {
    int rows = 0;
    int cols = 0;
    std::vector<double> values;

    DenseMatrix() = default;
    // rows x cols of zeros.
    DenseMatrix(int rowCount, int colCount)
        : rows(rowCount),
          cols(colCount),
          values(static_cast<std::size_t>(rowCount) * static_cast<std::size_t>(colCount), 0.0) {}

    double& operator()(int r, int c) { return values[Index(r, c)]; }
    double operator()(int r, int c) const { return values[Index(r, c)]; }
    double* Column(int c) { return values.data() + Index(0, c); }
    const double* Column(int c) const { return values.data() + Index(0, c); }

private:
    std::size_t Index(int r, int c) const {
        return static_cast<std::size_t>(c) * static_cast<std::size_t>(rows) +
               static_cast<std::size_t>(r);
    }
};

// a' a: a.cols x a.cols, both triangles filled.
DenseMatrix Gram(const DenseMatrix& a);
// a a': a.rows x a.rows, both triangles filled.
DenseMatrix OuterGram(const DenseMatrix& a);
// sum += a a' in sum's upper triangle only (a sum made block by block); then
// MirrorUpper fills the lower one.
void AddOuterGramUpper(const DenseMatrix& a, DenseMatrix& sum);
void MirrorUpper(DenseMatrix& m);
// op(a) op(b), op transposing where asked.
DenseMatrix Product(const DenseMatrix& a, bool transposeA, const DenseMatrix& b, bool transposeB);

// The eigenpairs of a symmetric matrix, largest magnitude first: values[k]
// and unit column k of vectors (each column's sign as LAPACK gives it).
struct EigenPairs {
    std::vector<double> values;
    DenseMatrix vectors;
};
// Of a (overwritten; both triangles must hold it), keeping the count
// leading pairs (all when count >= a.rows). With positiveSemidefinite (no
// negative eigenvalue but rounding), the largest are the leading ones and
// only they are computed when they are few; otherwise all are, then sorted.
// Throws morlin::Error when LAPACK does not converge.
EigenPairs SymmetricEigen(DenseMatrix a, int count, bool positiveSemidefinite);

// a = L L' for symmetric positive definite a: L into a's lower triangle, its
// upper triangle cleared. false (a then undefined) when a is not positive
// definite.
bool CholeskyInPlace(DenseMatrix& a);
// b = L^-1 b and b = L'^-1 b, L the lower triangle of l.
void SolveLower(const DenseMatrix& l, DenseMatrix& b);
void SolveLowerTransposed(const DenseMatrix& l, DenseMatrix& b);
