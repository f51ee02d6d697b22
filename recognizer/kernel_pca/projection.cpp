// Coordinates of centred kernel columns in the component space.
#include "kernel_pca/projection.h"

#include "matrix/matrix.h"

using namespace MatrixSpace;

void ProjectCentredColumns(const matrix* eigenvectors, const matrix* eigenvalues, int usable,
                           const matrix* centred, matrix* coordinates, int firstColumn) {
    MatrixGuard y(MultiplyTransposed(eigenvectors, centred));
    const float* lambda = eigenvalues->col[0];
    for (int j = 0; j < centred->cols; ++j) {
        float* out = coordinates->col[firstColumn + j];
        for (int c = 0; c < coordinates->rows; ++c)
            out[c] = c < usable ? y->col[j][c] / lambda[c] : 0.0f;
    }
}
