// Cached eigenvalue weights of the distance measures.
#include "distance/distance_weights.h"

#include <cmath>

#include "matrix/matrix.h"

void DistanceWeights::Reset(int usableComponents) {
    usable = usableComponents;
    ready.fill(false);
    for (auto& v : vectors) v.clear();
}

const std::vector<float>& DistanceWeights::For(Slot slot, const MatrixSpace::matrix* eigenvalues) {
    std::vector<float>& w = vectors[slot];
    if (ready[slot]) return w;
    const bool inverseRoot = slot == MahCosineSlot || slot == MahL1Slot;
    const float* lambda = eigenvalues->col[0];
    w.assign(static_cast<size_t>(eigenvalues->rows), 0.0f);
    for (int k = 0; k < eigenvalues->rows && k < usable; ++k) {
        const double l = lambda[k];
        w[static_cast<size_t>(k)] = static_cast<float>(inverseRoot ? 1.0 / std::sqrt(l) : 1.0 / l);
    }
    ready[slot] = true;
    return w;
}
