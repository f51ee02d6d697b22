// Cyclic threshold Jacobi eigen solver for symmetric float matrices.
#pragma once

class Workers;

namespace MatrixSpace {
struct matrix;
}

// Diagonalises the symmetric n x n matrix a by plane rotations, reading and
// updating only its elements on and below the diagonal (a is destroyed: its
// diagonal ends up holding the unsorted eigenvalues). On return column k of v
// is the unit eigenvector of the eigenvalue e(k, 0), ordered by descending
// absolute value; of equal absolute values the earlier stays first. v (n x n)
// and e (n x 1) are made by the caller; their contents are ignored. eps below
// 1e-7 is raised to 1e-7. Always returns 0. From order 64, when workers are
// given and have a helper to spare, a second thread shares the work; the
// result is the same bit for bit.
int JacobiEigen(MatrixSpace::matrix* a, MatrixSpace::matrix* v, MatrixSpace::matrix* e, int n,
                float eps, Workers* workers = nullptr);
