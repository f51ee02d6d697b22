// Reference material for the numeric tests and benchmarks: random symmetric
// matrices and LAPACK's eigenvalues of them.
#pragma once

#include <vector>

#include "matrix/matrix.h"

// n x n symmetric, entries uniform in [-1, 1), reproducible from seed.
MatrixSpace::matrix* RandomSymmetric(int n, unsigned seed);

// Eigenvalues of the symmetric a from LAPACK's dsyevd in double precision,
// sorted by descending magnitude (ties keep LAPACK's order); empty when LAPACK fails.
std::vector<double> ReferenceEigenvalues(const MatrixSpace::matrix* a);
