// LAPACK and BLAS calls behind the dense algebra.
#include "dense/dense_matrix.h"

#include <cblas.h>
#include <lapacke.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>

#include "morlin/morlin_error.h"

namespace {

// LAPACKE reports its own allocations failing as statuses: they are a
// shortage of memory like any other, not a matrix LAPACK refused.
lapack_int Checked(lapack_int status) {
    if (status == LAPACK_WORK_MEMORY_ERROR || status == LAPACK_TRANSPOSE_MEMORY_ERROR)
        throw std::bad_alloc();
    return status;
}

// Pairs from LAPACK in rising order, turned largest magnitude first.
EigenPairs ByMagnitude(const std::vector<double>& values, const DenseMatrix& vectors, int count) {
    std::vector<int> order(values.size());
    std::iota(order.begin(), order.end(), 0);
    // Ties by position, so the order is total: std::sort then needs no
    // buffer (std::stable_sort takes one and, without memory, runs another
    // way).
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const double ma = std::fabs(values[static_cast<size_t>(a)]);
        const double mb = std::fabs(values[static_cast<size_t>(b)]);
        return ma > mb || (ma == mb && a < b);
    });
    const int kept = std::min<int>(count, static_cast<int>(order.size()));
    EigenPairs pairs;
    pairs.vectors = DenseMatrix(vectors.rows, kept);
    for (int k = 0; k < kept; ++k) {
        const int from = order[static_cast<size_t>(k)];
        pairs.values.push_back(values[static_cast<size_t>(from)]);
        std::copy_n(vectors.Column(from), vectors.rows, pairs.vectors.Column(k));
    }
    return pairs;
}

}  // namespace

void MirrorUpper(DenseMatrix& m) {
    for (int c = 0; c < m.cols; ++c)
        for (int r = c + 1; r < m.rows; ++r) m(r, c) = m(c, r);
}

void AddOuterGramUpper(const DenseMatrix& a, DenseMatrix& sum) {
    if (a.rows > 0 && a.cols > 0)
        cblas_dsyrk(CblasColMajor, CblasUpper, CblasNoTrans, a.rows, a.cols, 1.0, a.values.data(),
                    a.rows, 1.0, sum.values.data(), sum.rows);
}

DenseMatrix Gram(const DenseMatrix& a) {
    DenseMatrix out(a.cols, a.cols);
    if (a.rows > 0 && a.cols > 0)
        cblas_dsyrk(CblasColMajor, CblasUpper, CblasTrans, a.cols, a.rows, 1.0, a.values.data(),
                    a.rows, 0.0, out.values.data(), out.rows);
    MirrorUpper(out);
    return out;
}

DenseMatrix OuterGram(const DenseMatrix& a) {
    DenseMatrix out(a.rows, a.rows);
    if (a.rows > 0 && a.cols > 0)
        cblas_dsyrk(CblasColMajor, CblasUpper, CblasNoTrans, a.rows, a.cols, 1.0, a.values.data(),
                    a.rows, 0.0, out.values.data(), out.rows);
    MirrorUpper(out);
    return out;
}

DenseMatrix Product(const DenseMatrix& a, bool transposeA, const DenseMatrix& b, bool transposeB) {
    const int m = transposeA ? a.cols : a.rows;
    const int k = transposeA ? a.rows : a.cols;
    const int n = transposeB ? b.rows : b.cols;
    DenseMatrix out(m, n);
    if (m > 0 && n > 0 && k > 0)
        cblas_dgemm(CblasColMajor, transposeA ? CblasTrans : CblasNoTrans,
                    transposeB ? CblasTrans : CblasNoTrans, m, n, k, 1.0, a.values.data(), a.rows,
                    b.values.data(), b.rows, 0.0, out.values.data(), out.rows);
    return out;
}

EigenPairs SymmetricEigen(DenseMatrix a, int count, bool positiveSemidefinite) {
    const int n = a.rows;
    if (n == 0) return {};
    count = std::clamp(count, 1, n);
    std::vector<double> values(static_cast<size_t>(n));
    // Few leading pairs of a matrix without negative eigenvalues: only those
    // (the relatively robust representations, then the back-transformation
    // of their vectors alone).
    if (positiveSemidefinite && count <= n / 4) {
        DenseMatrix vectors(n, count);
        std::vector<lapack_int> support(2 * static_cast<size_t>(count));
        lapack_int found = 0;
        const lapack_int status = Checked(LAPACKE_dsyevr(
            LAPACK_COL_MAJOR, 'V', 'I', 'U', n, a.values.data(), n, 0.0, 0.0, n - count + 1, n, 0.0,
            &found, values.data(), vectors.values.data(), n, support.data()));
        if (status != 0 || found != count)
            throw morlin::Error("the eigensolver did not converge (LAPACK dsyevr " +
                                std::to_string(status) + ")");
        values.resize(static_cast<size_t>(count));
        return ByMagnitude(values, vectors, count);
    }
    const lapack_int status =
        Checked(LAPACKE_dsyevd(LAPACK_COL_MAJOR, 'V', 'U', n, a.values.data(), n, values.data()));
    if (status != 0)
        throw morlin::Error("the eigensolver did not converge (LAPACK dsyevd " +
                            std::to_string(status) + ")");
    return ByMagnitude(values, a, count);
}

bool CholeskyInPlace(DenseMatrix& a) {
    if (a.rows == 0) return true;
    if (Checked(LAPACKE_dpotrf(LAPACK_COL_MAJOR, 'L', a.rows, a.values.data(), a.rows)) != 0)
        return false;
    for (int c = 1; c < a.cols; ++c)
        for (int r = 0; r < c; ++r) a(r, c) = 0.0;
    return true;
}

void SolveLower(const DenseMatrix& l, DenseMatrix& b) {
    if (b.rows == 0 || b.cols == 0) return;
    cblas_dtrsm(CblasColMajor, CblasLeft, CblasLower, CblasNoTrans, CblasNonUnit, b.rows, b.cols,
                1.0, l.values.data(), l.rows, b.values.data(), b.rows);
}

void SolveLowerTransposed(const DenseMatrix& l, DenseMatrix& b) {
    if (b.rows == 0 || b.cols == 0) return;
    cblas_dtrsm(CblasColMajor, CblasLeft, CblasLower, CblasTrans, CblasNonUnit, b.rows, b.cols, 1.0,
                l.values.data(), l.rows, b.values.data(), b.rows);
}
