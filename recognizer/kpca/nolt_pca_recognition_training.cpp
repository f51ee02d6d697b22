// (K)PCA training of the designed recognizer: the kernel-PCA core on the
// equalized gallery, committed to the object's members. Components without
// information (zero eigenvalue) keep coordinate 0 and weight 0 in the
// distance measures.
#include "compute/workers.h"
#include "distance/distance_weights.h"
#include "kernel_pca/kernel_pca.h"
#include "kpca/refusal.h"
#include "matrix/matrix.h"
#include "morlin/morlin.h"
#include "kpca/recognizer_texts.h"

using namespace MatrixSpace;

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
    KernelPcaModel model;
    // One spare coordinate column: the probe's.
    switch (TrainKernelPca(samples, n, KernelFunction::Of(param), param.componentNum, 1, *workers,
                           model)) {
        case KernelPcaOutcome::NonFiniteKernel:
            RefuseUninformativeModel(recognizer_text::nonFiniteKernel);
            return;
        case KernelPcaOutcome::Uninformative:
            RefuseUninformativeModel(recognizer_text::uninformative);
            return;
        case KernelPcaOutcome::Trained:
            break;
    }

    ReleaseModel();
    FreeMatrix(kernelMatrix);
    kernelMatrix = model.kernel.release();
    centeredKernel = model.centred.release();
    eigen.componentCount = model.componentCount;
    eigen.eigenvectors = model.eigenvectors.release();
    eigen.eigenvalues = model.eigenvalues.release();
    projections = model.coordinates.release();
    // Kept for recognition, whose centring needs the same terms.
    modelCentring = std::make_unique<KernelCentring>(std::move(model.centring));
    componentCount = model.componentCount;
    usableComponents = model.usable;
    weights->Reset(model.usable);
    trained = true;
}

// A model whose distances would all be zero (or undefined) would accept
// anybody: the old model goes and the recognizer is untrained.
void CNolt_PCARecognition::RefuseUninformativeModel(const char* reason) {
    ReleaseModel();
    ReportRecognizerMessage(reason);
}
