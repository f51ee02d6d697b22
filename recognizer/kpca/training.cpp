// (K)PCA training: kernel matrix, centring in feature space, decomposition and
// the coordinates of every gallery image.
//
// Components whose eigenvalue is zero up to rounding carry no information (the
// centred kernel matrix always has one such eigenvalue); dividing by them would
// blow the coordinates up. They are kept in the model with coordinate 0 for
// every image and weight 0 in the distance measures.
#include <algorithm>
#include <cmath>

#include "distance/distance_weights.h"
#include "eigen/eigen_decomposition.h"
#include "kpca/zero_eigenvalue.h"
#include "matrix/matrix.h"
#include "plugin/morlin.h"

using namespace MatrixSpace;

namespace {

// Kernel columns computed together, so their images stay in cache while every
// other image streams past them once.
constexpr int kernelTileColumns = 16;

}  // namespace

int UsableComponentCount(const matrix* eigenvalues) {
    const float* lambda = eigenvalues->col[0];
    const double largest = std::fabs(double{lambda[0]});
    int usable = 0;
    while (usable < eigenvalues->rows &&
           std::fabs(double{lambda[usable]}) > zeroEigenvalueRelative * largest)
        ++usable;
    return usable;
}

void CNolt_PCARecognition::Train() {
    if (trained) {
        ResetTrain();
        return;
    }
    if (!hasSamples || sampleCount < 1) return;
    if (param.isKernel && (param.kernelType < 0 || param.kernelType > 3)) return;

    const int n = sampleCount;
    ReleaseModel();
    ApplyPCAPara(param, std::clamp(param.componentNum, 1, n));
    if (!param.isKernel) param.kernelType = 0;

    for (int tile = 0; tile < n; tile += kernelTileColumns) {
        const int tileEnd = std::min(tile + kernelTileColumns, n);
        for (int i = 0; i < tileEnd; ++i) {
            for (int j = std::max(i, tile); j < tileEnd; ++j) {
                const float value = Kernel(samples, i, j);
                kernelMatrix->col[j][i] = value;
                kernelMatrix->col[i][j] = value;
            }
        }
    }

    // Kc = K - 1K/n - K1/n + 1K1/n^2, evaluated in this order in single precision.
    MatrixGuard q(MakeMatrix(n, n));
    std::fill(q->data, q->data + static_cast<size_t>(n) * n, static_cast<float>(-1.0 / n));
    MatrixGuard r1(MultiplyMatrix(q.get(), kernelMatrix));
    MatrixGuard r2(MultiplyMatrix(kernelMatrix, q.get()));
    MatrixGuard r3(MultiplyMatrix(r1.get(), q.get()));
    centeredKernel = AddMatrix(kernelMatrix, r1.get());
    AddToMatrix(centeredKernel, r2.get());
    AddToMatrix(centeredKernel, r3.get());

    {
        MatrixGuard scratch(CopyMatrix(centeredKernel));
        EigenDecomposition decomposition;
        decomposition.Decompose(scratch.get(), componentCount);
        decomposition.GetResult(eigen);
    }
    NormalizeColumns(eigen.eigenvectors);

    usableComponents = UsableComponentCount(eigen.eigenvalues);
    MatrixGuard y(MultiplyTransposed(eigen.eigenvectors, centeredKernel));
    const float* lambda = eigen.eigenvalues->col[0];
    for (int j = 0; j < n; ++j)
        for (int c = 0; c < componentCount; ++c)
            projections->col[j][c] = c < usableComponents ? y->col[j][c] / lambda[c] : 0.0f;

    weights->Reset(usableComponents);
    trained = true;
}
