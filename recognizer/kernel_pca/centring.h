// Centring kernel values in feature space against the gallery. With K the
// gallery's n x n kernel matrix and Q the n x n matrix whose every entry is
// -1/n, the design centres the gallery as Kc = K + QK + KQ + QKQ and a probe's
// kernel column k as kc = k + Kq + Qk + QKq (q a column of Q), each product
// summed in single precision with its inner index rising. Every row of QK and
// every column of KQ repeat one value (K is symmetric), and QKQ and QKq are
// one number: each is summed once here, in the same order, so the results are
// the designed ones to the bit at O(n^2) instead of O(n^3).
#pragma once

#include <vector>

namespace MatrixSpace {
struct matrix;
}

struct KernelCentring {
    // (Kq)_i = sum_k K(i,k) * (-1/n): also column i of QK and row i of KQ.
    std::vector<float> rowShare;
    // sum_k rowShare_k * (-1/n): every entry of QKQ, and QKq.
    float allShare = 0.0f;
};

// The centring terms of the symmetric kernel matrix.
KernelCentring CentringOf(const MatrixSpace::matrix* kernel);
// centred(i, j) = ((K(i, j) + rowShare_j) + rowShare_i) + allShare.
void CentreKernelMatrix(const MatrixSpace::matrix* kernel, const KernelCentring& centring,
                        MatrixSpace::matrix* centred);
// k_i = ((k_i + rowShare_i) + (Qk)_i) + allShare, (Qk)_i = sum_k (-1/n) * k_k.
void CentreKernelColumn(float* k, int n, const KernelCentring& centring);
