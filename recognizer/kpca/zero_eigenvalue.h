// When an eigenvalue of the centred kernel matrix counts as zero.
#pragma once

namespace MatrixSpace {
struct matrix;
}

// An eigenvalue is zero when its magnitude is at most this share of the largest.
// The centred matrix is formed in float from kernel values far larger than its
// own entries, so its exact zero eigenvalue comes out of the solver as noise of
// about 1e-7 to 1e-6 of the largest; genuine face components stay above 1e-4.
inline constexpr double zeroEigenvalueRelative = 1e-5;

// Number of leading eigenvalues (sorted by magnitude) that are not zero.
int UsableComponentCount(const MatrixSpace::matrix* eigenvalues);
