// (K)PCA training: kernel matrix, centring in feature space, decomposition and
// the coordinates of every gallery image.
//
// Components whose eigenvalue is zero up to rounding carry no information (the
// centred kernel matrix always has one such eigenvalue); dividing by them would
// blow the coordinates up. They are kept in the model with coordinate 0 for
// every image and weight 0 in the distance measures.
#include <algorithm>
#include <cmath>

#include "compute/workers.h"
#include "distance/distance_weights.h"
#include "eigen/eigen_decomposition.h"
#include "kpca/refusal.h"
#include "kpca/centring.h"
#include "kpca/projection.h"
#include "compute/threads.h"
#include "kpca/zero_eigenvalue.h"
#include "matrix/matrix.h"
#include "plugin/morlin.h"

using namespace MatrixSpace;

namespace {

// Kernel columns computed together, so their images stay in cache while every
// other image streams past them once.
constexpr int kernelTileColumns = 16;

}  // namespace

void CNolt_PCARecognition::Train() {
    if (trained) {
        ResetTrain();
        return;
    }
    if (!hasSamples || sampleCount < 1) return;
    if (param.isKernel && (param.kernelType < 0 || param.kernelType >= kernelTypeCount)) return;
    if (!param.isKernel) param.kernelType = static_cast<int>(KernelType::Linear);
    RefusedWithoutMemory([this] { TrainModel(); });
}

// Builds the whole model under guards and commits it at the end, so a matrix
// that cannot be allocated leaves the recognizer as it was.
void CNolt_PCARecognition::TrainModel() {
    const int n = sampleCount;
    const int count = std::clamp(param.componentNum, 1, n);

    MatrixGuard kernel(MakeMatrix(n, n));
    // Every value depends on its pair alone, so the tiles may go to several
    // threads in any order and give the same matrix. The last tiles hold the
    // most pairs: handed out first, so no thread is left with a large one.
    const int tiles = (n + kernelTileColumns - 1) / kernelTileColumns;
    const bool parallel = WorthThreads(tiles, int64_t{n} * n / 2 * pixelCount);
    workers->ForEach(tiles, parallel, [&](int piece, int) {
        const int tile = (tiles - 1 - piece) * kernelTileColumns;
        const int tileEnd = std::min(tile + kernelTileColumns, n);
        // Four images of the rows at a time against each column of the tile;
        // only pairs with i <= j are kept, as the rest mirror them.
        for (int i = 0; i < tileEnd; i += 4) {
            const int rows[4] = {i, i + 1, i + 2, i + 3};
            const int available = std::min(4, tileEnd - i);
            for (int j = std::max(i, tile); j < tileEnd; ++j) {
                float values[4];
                KernelsAgainst(samples, rows, std::min(available, j - i + 1), j, values);
                for (int s = 0; s < available && i + s <= j; ++s) {
                    kernel->col[j][i + s] = values[s];
                    kernel->col[i + s][j] = values[s];
                }
            }
        }
    });
    const float* kernelEnd = kernel->data + static_cast<size_t>(n) * n;
    const float* kernelBegin = kernel->data;
    if (!std::all_of(kernelBegin, kernelEnd, [](float v) { return std::isfinite(v); })) {
        RefuseUninformativeModel("核矩阵含有无穷大或非数值，请检查核参数；未训练");
        return;
    }

    // Kc = K - 1K/n - K1/n + 1K1/n^2, evaluated in this order in single precision.
    KernelCentring centring = CentringOf(kernel.get());
    MatrixGuard centered(MakeMatrix(n, n));
    CentreKernelMatrix(kernel.get(), centring, centered.get());

    EigenResult fresh;
    {
        MatrixGuard scratch(CopyMatrix(centered.get()));
        EigenDecomposition decomposition;
        decomposition.Decompose(scratch.get(), count, workers.get());
        decomposition.GetResult(fresh);
    }
    MatrixGuard vectors(fresh.eigenvectors);
    MatrixGuard values(fresh.eigenvalues);
    NormalizeColumns(vectors.get());

    float largestKernel = 0.0f;
    for (const float* v = kernel->data; v != kernelEnd; ++v)
        largestKernel = std::max(largestKernel, std::fabs(*v));
    const int usable = UsableComponentCount(values.get(), n, largestKernel);
    if (usable == 0) {
        RefuseUninformativeModel("样本之间没有可区分的信息（样本过少、相同或核参数极端）；未训练");
        return;
    }

    MatrixGuard coordinates(MakeMatrix(count, n + 1));
    ProjectCentredColumns(vectors.get(), values.get(), usable, centered.get(), coordinates.get(),
                          0);

    ReleaseModel();
    FreeMatrix(kernelMatrix);
    kernelMatrix = kernel.release();
    centeredKernel = centered.release();
    eigen.componentCount = fresh.componentCount;
    eigen.eigenvectors = vectors.release();
    eigen.eigenvalues = values.release();
    projections = coordinates.release();
    // Kept for recognition, whose centring needs the same terms.
    modelCentring = std::make_unique<KernelCentring>(std::move(centring));
    componentCount = count;
    usableComponents = usable;
    weights->Reset(usable);
    trained = true;
}

// A model whose distances would all be zero (or undefined) would accept
// anybody: the old model goes and the recognizer is untrained.
void CNolt_PCARecognition::RefuseUninformativeModel(const char* reason) {
    ReleaseModel();
    ReportRecognizerMessage(reason);
}
