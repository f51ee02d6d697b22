// Weight vectors of the eigenvalue-weighted distance measures, cached per
// measure for one model: computed on first use, dropped after every training.
#pragma once

#include <array>
#include <climits>
#include <vector>

namespace MatrixSpace {
struct matrix;
}

class DistanceWeights {
public:
    // Measures with a cached vector, in list order.
    enum Slot { MahCosineSlot, YamborDistanceSlot, MahL1Slot, MahL2Slot, SlotCount };

    // Forgets every cached vector; components from usableComponents on are
    // treated as having weight 0 (their eigenvalue is zero up to rounding).
    void Reset(int usableComponents = INT_MAX);
    int UsableComponents() const { return usable; }

    // The vector of slot for this eigenvalue column, computed on first use:
    // 1/sqrt(lambda) for MahCosine and MahL1, 1/lambda for YamborDistance and MahL2.
    const std::vector<float>& For(Slot slot, const MatrixSpace::matrix* eigenvalues);

private:
    int usable = INT_MAX;
    std::array<std::vector<float>, SlotCount> vectors;
    std::array<bool, SlotCount> ready{};
};
