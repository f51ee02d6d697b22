// Coordinates in the component space, the step training and recognition share
// after each has centred its kernel values against the gallery (each in its
// own designed order of operations, which differ in rounding and so stay apart).
#pragma once

namespace MatrixSpace {
struct matrix;
}

// coordinates(:, firstColumn + j) = V' * centred(:, j), each component divided
// by its eigenvalue; components from `usable` on carry no information
// (zero eigenvalue) and get 0. eigenvectors is n x m, eigenvalues m x 1,
// centred n x k, and coordinates has m rows and room for k columns.
void ProjectCentredColumns(const MatrixSpace::matrix* eigenvectors,
                           const MatrixSpace::matrix* eigenvalues, int usable,
                           const MatrixSpace::matrix* centred, MatrixSpace::matrix* coordinates,
                           int firstColumn);
