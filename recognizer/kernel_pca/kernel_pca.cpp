// Kernel-PCA training and the centred kernel column of a new feature vector.
#include "kernel_pca/kernel_pca.h"

#include <algorithm>
#include <cmath>

#include "compute/threads.h"
#include "compute/workers.h"
#include "dense/dense_matrix.h"
#include "eigen/eigen_decomposition.h"
#include "kernel_pca/projection.h"
#include "kernel_pca/zero_eigenvalue.h"

using namespace MatrixSpace;

namespace {

// Kernel columns computed together, so their images stay in cache while every
// other image streams past them once.
constexpr int kernelTileColumns = 16;

// The basis directions are its columns: scale those to unit length by
// normalising the rows of the transpose.
void NormalizeColumns(matrix* m) {
    MatrixGuard transposed(TransposeMatrix(m));
    NormalizeRows(transposed.get());
    MatrixGuard back(TransposeMatrix(transposed.get()));
    std::copy(back->data, back->data + static_cast<size_t>(m->rows) * m->cols, m->data);
}

// The count leading eigenpairs of the centred matrix from LAPACK, as the
// Jacobi path returns them: count x 1 values, n x count unit vectors.
void LapackEigen(const matrix* centred, int count, MatrixGuard& vectors, MatrixGuard& values) {
    const int n = centred->rows;
    DenseMatrix a(n, n);
    for (int c = 0; c < n; ++c)
        for (int r = 0; r < n; ++r) a(r, c) = centred->col[c][r];
    // A kernel other than the sigmoid is positive semidefinite, but the
    // leading pairs are asked by magnitude: all of them are computed.
    const EigenPairs pairs = SymmetricEigen(std::move(a), count, false);
    vectors = MatrixGuard(MakeMatrix(n, count));
    values = MatrixGuard(MakeMatrix(count, 1));
    for (int k = 0; k < count; ++k) {
        values->col[0][k] = static_cast<float>(pairs.values[static_cast<size_t>(k)]);
        const double* v = pairs.vectors.Column(k);
        for (int r = 0; r < n; ++r) vectors->col[k][r] = static_cast<float>(v[r]);
    }
}

// coordinates(:, j) = V' centred(:, j) / lambda for the training columns,
// as ProjectCentredColumns gives them, in one product.
void LapackCoordinates(const matrix* vectors, const matrix* values, int usable,
                       const matrix* centred, matrix* coordinates) {
    const int n = centred->rows, count = vectors->cols;
    DenseMatrix v(n, usable), kc(n, n);
    for (int c = 0; c < usable; ++c)
        for (int r = 0; r < n; ++r) v(r, c) = vectors->col[c][r];
    for (int c = 0; c < n; ++c)
        for (int r = 0; r < n; ++r) kc(r, c) = centred->col[c][r];
    const DenseMatrix y = Product(v, true, kc, false);
    for (int j = 0; j < n; ++j)
        for (int c = 0; c < count; ++c)
            coordinates->col[j][c] =
                c < usable ? static_cast<float>(y(c, j) / values->col[0][c]) : 0.0f;
}

}  // namespace

void NormalizeRows(matrix* m) {
    for (int r = 0; r < m->rows; ++r) {
        double sum = 0.0;
        for (int c = 0; c < m->cols; ++c) sum += double{m->col[c][r]} * m->col[c][r];
        const float norm = static_cast<float>(std::sqrt(sum));
        if (norm == 0.0f) continue;
        for (int c = 0; c < m->cols; ++c) m->col[c][r] = m->col[c][r] / norm;
    }
}

KernelPcaOutcome TrainKernelPca(const matrix* features, int n, const KernelFunction& kernelFunction,
                                int requested, int spare, Workers& workers, KernelPcaModel& model,
                                EigenSolver solver) {
    model = KernelPcaModel();
    const int count = std::clamp(requested, 1, n);
    const int length = features->rows;

    MatrixGuard kernel(MakeMatrix(n, n));
    // Every value depends on its pair alone, so the tiles may go to several
    // threads in any order and give the same matrix. The last tiles hold the
    // most pairs: handed out first, so no thread is left with a large one.
    const int tiles = (n + kernelTileColumns - 1) / kernelTileColumns;
    const bool parallel = WorthThreads(tiles, int64_t{n} * n / 2 * length);
    workers.ForEach(tiles, parallel, [&](int piece, int) {
        const int tile = (tiles - 1 - piece) * kernelTileColumns;
        const int tileEnd = std::min(tile + kernelTileColumns, n);
        // Four columns of the rows at a time against each column of the tile;
        // only pairs with i <= j are kept, as the rest mirror them.
        for (int i = 0; i < tileEnd; i += 4) {
            const float* rows[4];
            for (int s = 0; s < 4; ++s) rows[s] = features->col[std::min(i + s, n - 1)];
            const int available = std::min(4, tileEnd - i);
            for (int j = std::max(i, tile); j < tileEnd; ++j) {
                float values[4];
                kernelFunction.Against(rows, std::min(available, j - i + 1), features->col[j],
                                       length, values);
                for (int s = 0; s < available && i + s <= j; ++s) {
                    kernel->col[j][i + s] = values[s];
                    kernel->col[i + s][j] = values[s];
                }
            }
        }
    });
    const float* kernelEnd = kernel->data + static_cast<size_t>(n) * n;
    const float* kernelBegin = kernel->data;
    if (!std::all_of(kernelBegin, kernelEnd, [](float v) { return std::isfinite(v); }))
        return KernelPcaOutcome::NonFiniteKernel;

    // Kc = K - 1K/n - K1/n + 1K1/n^2, evaluated in this order in single precision.
    KernelCentring centring = CentringOf(kernel.get());
    MatrixGuard centred(MakeMatrix(n, n));
    CentreKernelMatrix(kernel.get(), centring, centred.get());

    MatrixGuard vectors, values;
    if (solver == EigenSolver::Jacobi) {
        EigenResult fresh;
        MatrixGuard scratch(CopyMatrix(centred.get()));
        EigenDecomposition decomposition;
        decomposition.Decompose(scratch.get(), count, &workers);
        decomposition.GetResult(fresh);
        vectors = MatrixGuard(fresh.eigenvectors);
        values = MatrixGuard(fresh.eigenvalues);
        NormalizeColumns(vectors.get());
    } else {
        LapackEigen(centred.get(), count, vectors, values);
    }

    float largestKernel = 0.0f;
    for (const float* v = kernel->data; v != kernelEnd; ++v)
        largestKernel = std::max(largestKernel, std::fabs(*v));
    const int usable = UsableComponentCount(values.get(), n, largestKernel);
    if (usable == 0) return KernelPcaOutcome::Uninformative;

    MatrixGuard coordinates(MakeMatrix(count, n + spare));
    if (solver == EigenSolver::Jacobi)
        ProjectCentredColumns(vectors.get(), values.get(), usable, centred.get(), coordinates.get(),
                              0);
    else
        LapackCoordinates(vectors.get(), values.get(), usable, centred.get(), coordinates.get());

    model.kernel = std::move(kernel);
    model.centring = std::move(centring);
    model.centred = std::move(centred);
    model.eigenvectors = std::move(vectors);
    model.eigenvalues = std::move(values);
    model.componentCount = count;
    model.usable = usable;
    model.coordinates = std::move(coordinates);
    return KernelPcaOutcome::Trained;
}

void CentredKernelColumn(const matrix* features, int n, const KernelFunction& kernel,
                         const KernelCentring& centring, const float* y, float* kc,
                         Workers* workers) {
    const int length = features->rows;
    // Independent values: split across the cores when the gallery is large.
    const int blocks = (n + 3) / 4;
    const auto block = [&](int b, int) {
        const int first = b * 4;
        const float* rows[4];
        for (int s = 0; s < 4; ++s) rows[s] = features->col[std::min(first + s, n - 1)];
        kernel.Against(rows, std::min(4, n - first), y, length, kc + first);
    };
    ForEachPiece(workers, blocks, WorthThreads(blocks, int64_t{n} * length), block);
    // kc = k + Kq + Qk + QKq; Kq and QKq were summed at training.
    CentreKernelColumn(kc, n, centring);
}
