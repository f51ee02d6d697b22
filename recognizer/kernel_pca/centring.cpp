// Centring in feature space: the terms of Q = -1/n everywhere, summed once.
#include "kernel_pca/centring.h"

#include "matrix/matrix.h"

using MatrixSpace::matrix;

namespace {

float MinusOneOver(int n) {
    return static_cast<float>(-1.0 / n);
}

}  // namespace

KernelCentring CentringOf(const matrix* kernel) {
    const int n = kernel->rows;
    const float q = MinusOneOver(n);
    KernelCentring centring;
    centring.rowShare.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        // K(i, k) read as K(k, i), the same value, along a contiguous column.
        const float* column = kernel->col[i];
        float sum = 0.0f;
        for (int k = 0; k < n; ++k) sum += column[k] * q;
        centring.rowShare[static_cast<size_t>(i)] = sum;
    }
    float all = 0.0f;
    for (int k = 0; k < n; ++k) all += centring.rowShare[static_cast<size_t>(k)] * q;
    centring.allShare = all;
    return centring;
}

void CentreKernelMatrix(const matrix* kernel, const KernelCentring& centring, matrix* centred) {
    const int n = kernel->rows;
    const float* d = centring.rowShare.data();
    for (int j = 0; j < n; ++j) {
        const float* in = kernel->col[j];
        float* out = centred->col[j];
        for (int i = 0; i < n; ++i) {
            float value = in[i] + d[j];
            value += d[i];
            value += centring.allShare;
            out[i] = value;
        }
    }
}

void CentreKernelColumn(float* k, int n, const KernelCentring& centring) {
    const float q = MinusOneOver(n);
    float probeShare = 0.0f;
    for (int i = 0; i < n; ++i) probeShare += q * k[i];
    for (int i = 0; i < n; ++i) {
        float value = k[i] + centring.rowShare[static_cast<size_t>(i)];
        value += probeShare;
        value += centring.allShare;
        k[i] = value;
    }
}
