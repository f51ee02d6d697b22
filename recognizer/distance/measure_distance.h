// The ten distance measures between two columns of a coordinate matrix; smaller
// always means more alike. Index = position in the dialog's distance list.
#pragma once

#include <array>
#include <string_view>

#include "distance/distance_weights.h"

namespace MatrixSpace {
struct matrix;
}

inline constexpr int distanceMeasureCount = 10;

// List texts of the measures, as the parameter dialog shows them.
inline constexpr std::array<std::string_view, distanceMeasureCount> distanceMeasureNames = {
    "CityBlock", "Euclidean ", "Covariance", "Correlation", "MahCosine",
    "YamborAngle", "YamborDistance", "MahL1", "MahL2", "LDASoft"};

// Distance between columns x and y of coords under measure (0..9; any other
// index gives 0.0). eigenvalues has at least coords->rows rows; weights caches
// the per-measure vectors of this eigenvalue column.
double MeasureDistance(const MatrixSpace::matrix* coords, int x, int y,
                       const MatrixSpace::matrix* eigenvalues, int measure,
                       DistanceWeights& weights);
