// Kernel functions between two columns of an image matrix, and the row
// normalisation of a basis. Kernel parameters other than the rbf gamma are
// rounded to float first, as the reference does.
#include <algorithm>
#include <cmath>

#include "compute/vector_sums.h"
#include "matrix/matrix.h"
#include "plugin/morlin.h"

using MatrixSpace::matrix;

float CNolt_PCARecognition::dot(matrix* m, int i, int j) {
    return static_cast<float>(DotDouble(m->col[i], m->col[j], pixelCount));
}

float CNolt_PCARecognition::kernel_linear(matrix* m, int i, int j) {
    return dot(m, i, j);
}

float CNolt_PCARecognition::kernel_poly(matrix* m, int i, int j) {
    return PolyOfDot(dot(m, i, j));
}

float CNolt_PCARecognition::kernel_rbf(matrix* m, int i, int j) {
    return RbfOfDistance(SquaredDistanceDouble(m->col[i], m->col[j], pixelCount));
}

float CNolt_PCARecognition::kernel_sigmoid(matrix* m, int i, int j) {
    return SigmoidOfDot(dot(m, i, j));
}

float CNolt_PCARecognition::PolyOfDot(float dotValue) const {
    const float g = static_cast<float>(param.gamma);
    const float c = static_cast<float>(param.coef0);
    const float d = static_cast<float>(param.degree);
    return static_cast<float>(std::pow(double{g * dotValue + c}, double{d}));
}

float CNolt_PCARecognition::RbfOfDistance(double squaredDistance) const {
    return static_cast<float>(std::exp(-param.gamma * squaredDistance));
}

float CNolt_PCARecognition::SigmoidOfDot(float dotValue) const {
    const float g = static_cast<float>(param.gamma);
    const float c = static_cast<float>(param.coef0);
    return static_cast<float>(std::tanh(double{g * dotValue + c}));
}

// The kernel chosen by param.kernelType; 0 for a type outside 0..3, which
// Train refuses before it gets here.
float CNolt_PCARecognition::Kernel(matrix* m, int i, int j) {
    const bool distance = static_cast<KernelType>(param.kernelType) == KernelType::Rbf;
    return KernelOfSum(distance ? SquaredDistanceDouble(m->col[i], m->col[j], pixelCount)
                                : DotDouble(m->col[i], m->col[j], pixelCount));
}

// The kernel value from its sum: the dot product, or for rbf the squared
// distance; each as the kernel_* function above computes it.
float CNolt_PCARecognition::KernelOfSum(double sum) const {
    switch (static_cast<KernelType>(param.kernelType)) {
        case KernelType::Linear:
            return static_cast<float>(sum);
        case KernelType::Polynomial:
            return PolyOfDot(static_cast<float>(sum));
        case KernelType::Rbf:
            return RbfOfDistance(sum);
        case KernelType::Sigmoid:
            return SigmoidOfDot(static_cast<float>(sum));
    }
    return 0.0f;
}

// Kernel(m, i[s], j) for s < count (at most 4), the sums four at a time.
void CNolt_PCARecognition::KernelsAgainst(matrix* m, const int* i, int count, int j, float* out) {
    const float* x[4];
    for (int s = 0; s < 4; ++s) x[s] = m->col[i[s < count ? s : 0]];
    double sums[4];
    if (static_cast<KernelType>(param.kernelType) == KernelType::Rbf)
        SquaredDistanceDouble4(x, m->col[j], pixelCount, sums);
    else
        DotDouble4(x, m->col[j], pixelCount, sums);
    for (int s = 0; s < count; ++s) out[s] = KernelOfSum(sums[s]);
}

// Scales every row of m to unit length; a row of zeros is left as it is
// rather than turned into NaNs.
void CNolt_PCARecognition::IdentityMatrix(matrix* m) {
    for (int r = 0; r < m->rows; ++r) {
        double sum = 0.0;
        for (int c = 0; c < m->cols; ++c) sum += double{m->col[c][r]} * m->col[c][r];
        const float norm = static_cast<float>(std::sqrt(sum));
        if (norm == 0.0f) continue;
        for (int c = 0; c < m->cols; ++c) m->col[c][r] = m->col[c][r] / norm;
    }
}

// The basis directions are its columns: scale those to unit length by
// normalising the rows of the transpose.
void CNolt_PCARecognition::NormalizeColumns(matrix* m) {
    MatrixSpace::MatrixGuard transposed(MatrixSpace::TransposeMatrix(m));
    IdentityMatrix(transposed.get());
    MatrixSpace::MatrixGuard back(MatrixSpace::TransposeMatrix(transposed.get()));
    std::copy(back->data, back->data + static_cast<size_t>(m->rows) * m->cols, m->data);
}
