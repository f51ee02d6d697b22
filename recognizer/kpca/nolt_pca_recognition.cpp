// The recognizer object: construction, copies, sample intake, parameters and
// the release of samples and model. Training and recognition have files of
// their own.
#include <algorithm>
#include <cstdint>

#include "distance/distance_weights.h"
#include "matrix/matrix.h"
#include "plugin/morlin.h"

using namespace MatrixSpace;

namespace {

matrix* CopyOrNull(const matrix* m) {
    return m == nullptr ? nullptr : CopyMatrix(m);
}

}  // namespace

CNolt_PCARecognition::CNolt_PCARecognition() : weights(std::make_unique<DistanceWeights>()) {}

CNolt_PCARecognition::CNolt_PCARecognition(const CNolt_PCARecognition& other)
    : weights(std::make_unique<DistanceWeights>()) {
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
    weights->Reset(usableComponents);
}

bool CNolt_PCARecognition::HoldsModel() const {
    return samples != nullptr && kernelMatrix != nullptr && centeredKernel != nullptr &&
           projections != nullptr && eigen.eigenvectors != nullptr && eigen.eigenvalues != nullptr;
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
    weights->Reset(0);
    trained = false;
}

void CNolt_PCARecognition::SetSample(int** images, int count, int rows, int columns) {
    const int64_t pixels = int64_t{rows} * columns;
    // Nonsense shapes would make the allocation sizes wrap; such a call is ignored.
    if (count < 0 || rows < 0 || columns < 0 || pixels > INT32_MAX ||
        (count > 0 && images == nullptr))
        return;

    sampleCount = count;
    pixelCount = static_cast<int>(pixels);
    ReleaseSamples();
    ReleaseModel();

    samples = MakeMatrix(pixelCount, count + 1);
    for (int j = 0; j < count; ++j) {
        float* column = samples->col[j];
        const int* image = images[j];
        for (int i = 0; i < pixelCount; ++i) column[i] = static_cast<float>(image[i]);
    }
    HistEq(samples, 0, count - 1);
    kernelMatrix = MakeMatrix(count, count);
    trained = false;
    hasSamples = true;
}

void CNolt_PCARecognition::SetPCAPara(PCAParameter p) {
    if (HoldsModel()) {
        // The held model keeps its own component count and matrices; it goes
        // on recognizing (Stale) until the next Train replaces it.
        param = p;
        trained = false;
        return;
    }
    ApplyPCAPara(p, std::max(p.componentNum, 0));
}

// Stores p and sizes projections for count components over the gallery and the
// probe slot.
void CNolt_PCARecognition::ApplyPCAPara(const PCAParameter& p, int count) {
    param = p;
    componentCount = count;
    FreeMatrix(projections);
    projections = MakeMatrix(count, sampleCount + 1);
}

void CNolt_PCARecognition::ResetTrain() {
    if (hasSamples && trained) {
        ReleaseModel();
        ReleaseSamples();
    }
    trained = false;
}
