// The four designed kernels as one value-type function of two feature
// columns: what training and recognition of the designed class compute, and
// what every other user of the kernel-PCA core computes the same way. The
// parameters other than the rbf gamma are rounded to float first, as the
// reference does.
#pragma once

#include "morlin/morlin_records.h"

struct KernelFunction {
    KernelType type = KernelType::Linear;
    double gamma = 1.0;
    double coef0 = 0.0;
    double degree = 2.0;

    // The kernel p selects (kernelType, whatever isKernel says) with its
    // parameters; a type outside 0..3 gives values of 0.
    static KernelFunction Of(const PCAParameter& p);

    // The rbf kernel is summed over squared differences, the others over
    // products.
    bool SumsSquaredDifferences() const { return type == KernelType::Rbf; }
    // The kernel value from its sum (the dot product, or for rbf the squared
    // distance).
    float OfSum(double sum) const;
    float PolyOfDot(float dotValue) const;
    float RbfOfDistance(double squaredDistance) const;
    float SigmoidOfDot(float dotValue) const;

    // out[s] = kernel(x[s], y) for s < count (at most 4) over length
    // elements, the sums four at a time; each bit for bit the single value.
    void Against(const float* const* x, int count, const float* y, int length, float* out) const;

    // Set when type is outside the designed four: every value is 0.
    bool unknown = false;
};
