// When an eigenvalue of the centred kernel matrix counts as zero.
#pragma once

namespace MatrixSpace {
struct matrix;
}

// An eigenvalue is zero when its magnitude is at most this share of the largest.
// The centred matrix is formed in float from kernel values far larger than its
// own entries, so its exact zero eigenvalue comes out of the solver as rounding
// noise: on 200 ORL faces 5e-7 (linear), 2e-6 (poly), 5e-6 (rbf) of the largest,
// while the smallest genuine component stays near 1e-3. 1e-4 keeps a factor of
// ten from both.
inline constexpr double zeroEigenvalueRelative = 1e-4;

// The largest eigenvalue carries information only above this share of
// sampleCount x the largest kernel value (the most an eigenvalue of the kernel
// matrix can be). Centring a kernel matrix without information (one image,
// identical or flat images, a kernel that saturates) leaves rounding noise of a
// few float epsilons of that scale, about 1e-7; on ORL the genuine share is
// 1e-2 or more.
inline constexpr double kernelNoiseRelative = 1e-5;

// Number of leading eigenvalues (sorted by magnitude) that are not zero; 0 when
// even the largest is noise.
int UsableComponentCount(const MatrixSpace::matrix* eigenvalues, int sampleCount,
                         float largestKernel);
