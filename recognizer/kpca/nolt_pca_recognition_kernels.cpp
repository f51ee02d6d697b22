// The designed kernel functions between two columns of an image matrix, and
// the designed row normalisation of a basis, on the kernel-PCA core's code.
#include <cmath>

#include "compute/vector_sums.h"
#include "kernel_pca/kernel_function.h"
#include "kernel_pca/kernel_pca.h"
#include "matrix/matrix.h"
#include "morlin/morlin.h"

using MatrixSpace::matrix;

float CNolt_PCARecognition::dot(matrix* m, int i, int j) {
    return static_cast<float>(DotDouble(m->col[i], m->col[j], pixelCount));
}

float CNolt_PCARecognition::kernel_linear(matrix* m, int i, int j) {
    return dot(m, i, j);
}

float CNolt_PCARecognition::kernel_poly(matrix* m, int i, int j) {
    return KernelFunction::Of(param).PolyOfDot(dot(m, i, j));
}

float CNolt_PCARecognition::kernel_rbf(matrix* m, int i, int j) {
    return KernelFunction::Of(param).RbfOfDistance(
        SquaredDistanceDouble(m->col[i], m->col[j], pixelCount));
}

float CNolt_PCARecognition::kernel_sigmoid(matrix* m, int i, int j) {
    return KernelFunction::Of(param).SigmoidOfDot(dot(m, i, j));
}

// Scales every row of m to unit length; a row of zeros is left as it is
// rather than turned into NaNs.
void CNolt_PCARecognition::IdentityMatrix(matrix* m) {
    NormalizeRows(m);
}
