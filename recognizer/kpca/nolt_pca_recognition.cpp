// The recognizer object: construction, copies, sample intake and its
// equalization, parameters and the release of samples and model. Training and
// recognition have files of their own.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "distance/distance_weights.h"
#include "compute/workers.h"
#include "kernel_pca/centring.h"
#include "kernel_pca/grey_levels.h"
#include "kpca/refusal.h"
#include "compute/threads.h"
#include "matrix/matrix.h"
#include "morlin/morlin.h"

using namespace MatrixSpace;

namespace {

matrix* CopyOrNull(const matrix* m) {
    return m == nullptr ? nullptr : CopyMatrix(m);
}

}  // namespace

CNolt_PCARecognition::CNolt_PCARecognition()
    : weights(std::make_unique<DistanceWeights>()), workers(std::make_unique<Workers>()) {}

// A copy has helper threads of its own, started when it first needs them.
CNolt_PCARecognition::CNolt_PCARecognition(const CNolt_PCARecognition& other)
    : weights(std::make_unique<DistanceWeights>()), workers(std::make_unique<Workers>()) {
    CopyFrom(other);
}

CNolt_PCARecognition& CNolt_PCARecognition::operator=(const CNolt_PCARecognition& other) {
    if (this != &other) CopyFrom(other);
    return *this;
}

CNolt_PCARecognition::~CNolt_PCARecognition() {
    ReleaseModel();
    ReleaseSamples();
}

// Every matrix is duplicated: two objects never release the same one. The
// weight cache is not copied; it is rebuilt from the copied eigenvalues.
void CNolt_PCARecognition::CopyFrom(const CNolt_PCARecognition& other) {
    ReleaseModel();
    ReleaseSamples();
    samples = CopyOrNull(other.samples);
    hasSamples = other.hasSamples;
    sampleCount = other.sampleCount;
    componentCount = other.componentCount;
    pixelCount = other.pixelCount;
    param = other.param;
    eigen.componentCount = other.eigen.componentCount;
    eigen.eigenvectors = CopyOrNull(other.eigen.eigenvectors);
    eigen.eigenvalues = CopyOrNull(other.eigen.eigenvalues);
    trained = other.trained;
    centeredKernel = CopyOrNull(other.centeredKernel);
    kernelMatrix = CopyOrNull(other.kernelMatrix);
    projections = CopyOrNull(other.projections);
    usableComponents = other.usableComponents;
    modelCentring =
        other.modelCentring ? std::make_unique<KernelCentring>(*other.modelCentring) : nullptr;
    weights->Reset(usableComponents);
}

bool CNolt_PCARecognition::HoldsModel() const {
    return samples != nullptr && kernelMatrix != nullptr && centeredKernel != nullptr &&
           modelCentring != nullptr && projections != nullptr && eigen.eigenvectors != nullptr &&
           eigen.eigenvalues != nullptr;
}

void CNolt_PCARecognition::ReleaseSamples() {
    FreeMatrix(samples);
    FreeMatrix(kernelMatrix);
    samples = nullptr;
    kernelMatrix = nullptr;
    hasSamples = false;
}

void CNolt_PCARecognition::ReleaseModel() {
    FreeMatrix(projections);
    FreeMatrix(centeredKernel);
    FreeMatrix(eigen.eigenvectors);
    FreeMatrix(eigen.eigenvalues);
    projections = nullptr;
    centeredKernel = nullptr;
    eigen.eigenvectors = nullptr;
    eigen.eigenvalues = nullptr;
    eigen.componentCount = 0;
    usableComponents = 0;
    modelCentring.reset();
    weights->Reset(0);
    trained = false;
}

void CNolt_PCARecognition::SetSample(int** images, int count, int rows, int columns) {
    const int64_t pixels = int64_t{rows} * columns;
    // Nonsense shapes would make the allocation sizes wrap, and the spare probe
    // column needs count + 1 to fit an int; such a call is ignored.
    if (count < 0 || count == INT32_MAX || rows < 0 || columns < 0 || pixels > INT32_MAX ||
        (count > 0 && images == nullptr))
        return;

    RefusedWithoutMemory([&] {
        const int pixelTotal = static_cast<int>(pixels);
        MatrixGuard gallery(MakeMatrix(pixelTotal, count + 1));
        MatrixGuard kernel(MakeMatrix(count, count));
        matrix* equalized = gallery.get();
        // Each image is equalized on its own, so they may go to several
        // threads; each thread's levels are made before, as nothing may be
        // allocated inside the region. The column is what copying the pixels
        // and HistEq give.
        const int slots = workers->Slots();
        std::vector<uint8_t> levels(static_cast<size_t>(slots) * static_cast<size_t>(pixelTotal));
        workers->ForEach(count, WorthThreads(count, int64_t{count} * pixelTotal * 4),
                         [&](int j, int slot) {
                             uint8_t* mine = levels.data() + static_cast<size_t>(slot) * pixelTotal;
                             const int* image = images[j];
                             for (int i = 0; i < pixelTotal; ++i)
                                 mine[i] = GreyLevel(static_cast<float>(image[i]));
                             EqualizeLevels(mine, pixelTotal, equalized->col[j]);
                         });

        ReleaseSamples();
        ReleaseModel();
        samples = gallery.release();
        kernelMatrix = kernel.release();
        sampleCount = count;
        pixelCount = pixelTotal;
        trained = false;
        hasSamples = true;
    });
}

void CNolt_PCARecognition::SetPCAPara(PCAParameter p) {
    if (HoldsModel()) {
        // The held model keeps its own component count and matrices; it goes
        // on recognizing (Stale) until the next Train replaces it.
        param = p;
        trained = false;
        return;
    }
    // Sized as Train will size it, never for more components than images.
    RefusedWithoutMemory([&] {
        ApplyPCAPara(p, std::clamp(p.componentNum, std::min(1, sampleCount), sampleCount));
    });
}

// Stores p and sizes projections for count components over the gallery and the
// probe slot.
void CNolt_PCARecognition::ApplyPCAPara(const PCAParameter& p, int count) {
    MatrixGuard sized(MakeMatrix(count, sampleCount + 1));
    param = p;
    componentCount = count;
    FreeMatrix(projections);
    projections = sized.release();
}

void CNolt_PCARecognition::ResetTrain() {
    if (hasSamples && trained) {
        ReleaseModel();
        ReleaseSamples();
    }
    trained = false;
}

// Here, beside SetSample, so that a library linking the object in keeps it too.
void CNolt_PCARecognition::HistEq(MatrixSpace::matrix*& m, int first, int last) {
    if (first > last) return;
    if (first < 0) first = 0;
    if (last >= m->cols) last = m->cols - 1;
    const int pixels = m->rows;
    std::vector<uint8_t> levels(static_cast<size_t>(pixels));
    for (int c = first; c <= last; ++c) {
        float* column = m->col[c];
        for (int i = 0; i < pixels; ++i) levels[static_cast<size_t>(i)] = GreyLevel(column[i]);
        EqualizeLevels(levels.data(), pixels, column);
    }
}
