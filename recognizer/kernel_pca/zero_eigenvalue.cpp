// How many leading components carry information: eigenvalues not zero up to rounding.
#include "kernel_pca/zero_eigenvalue.h"

#include <cmath>

#include "matrix/matrix.h"

using MatrixSpace::matrix;

int UsableComponentCount(const matrix* eigenvalues, int sampleCount, float largestKernel) {
    const float* lambda = eigenvalues->col[0];
    const double largest = std::fabs(double{lambda[0]});
    // Below this the largest eigenvalue is the rounding noise of centring a
    // kernel matrix that carries no information.
    if (!(largest > kernelNoiseRelative * sampleCount * double{largestKernel})) return 0;
    int usable = 0;
    while (usable < eigenvalues->rows &&
           std::fabs(double{lambda[usable]}) > zeroEigenvalueRelative * largest)
        ++usable;
    return usable;
}
