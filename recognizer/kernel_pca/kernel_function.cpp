// Kernel values from the double sums of vector_sums.
#include "kernel_pca/kernel_function.h"

#include <cmath>

#include "compute/vector_sums.h"

KernelFunction KernelFunction::Of(const PCAParameter& p) {
    KernelFunction k;
    k.type = static_cast<KernelType>(p.kernelType);
    k.gamma = p.gamma;
    k.coef0 = p.coef0;
    k.degree = p.degree;
    k.unknown = p.kernelType < 0 || p.kernelType >= kernelTypeCount;
    return k;
}

float KernelFunction::PolyOfDot(float dotValue) const {
    const float g = static_cast<float>(gamma);
    const float c = static_cast<float>(coef0);
    const float d = static_cast<float>(degree);
    return static_cast<float>(std::pow(double{g * dotValue + c}, double{d}));
}

float KernelFunction::RbfOfDistance(double squaredDistance) const {
    return static_cast<float>(std::exp(-gamma * squaredDistance));
}

float KernelFunction::SigmoidOfDot(float dotValue) const {
    const float g = static_cast<float>(gamma);
    const float c = static_cast<float>(coef0);
    return static_cast<float>(std::tanh(double{g * dotValue + c}));
}

float KernelFunction::OfSum(double sum) const {
    if (unknown) return 0.0f;
    switch (type) {
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

void KernelFunction::Against(const float* const* x, int count, const float* y, int length,
                             float* out) const {
    const float* four[4];
    for (int s = 0; s < 4; ++s) four[s] = x[s < count ? s : 0];
    double sums[4];
    if (SumsSquaredDifferences())
        SquaredDistanceDouble4(four, y, length, sums);
    else
        DotDouble4(four, y, length, sums);
    for (int s = 0; s < count; ++s) out[s] = OfSum(sums[s]);
}
