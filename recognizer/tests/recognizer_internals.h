// What a recognizer object holds, read by the recognizer's own tests, which
// check its matrices bit for bit against the reference. Nothing else reads
// them: programs and benchmarks go through the class's public members or the
// kernel-PCA core.
#pragma once

#include "matrix/matrix.h"
#include "morlin/morlin.h"

class RecognizerInternals {
public:
    static const MatrixSpace::matrix* Samples(const CNolt_PCARecognition& r) { return r.samples; }
    static const MatrixSpace::matrix* KernelMatrix(const CNolt_PCARecognition& r) {
        return r.kernelMatrix;
    }
    static const MatrixSpace::matrix* CenteredKernel(const CNolt_PCARecognition& r) {
        return r.centeredKernel;
    }
    static const MatrixSpace::matrix* Projections(const CNolt_PCARecognition& r) {
        return r.projections;
    }
    static const EigenResult& Eigen(const CNolt_PCARecognition& r) { return r.eigen; }
    // Components 0 .. UsableComponents - 1 have a non-zero eigenvalue; the
    // rest carry coordinate 0 and weight 0.
    static int UsableComponents(const CNolt_PCARecognition& r) { return r.usableComponents; }
};
