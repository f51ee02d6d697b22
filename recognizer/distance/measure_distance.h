// The ten distance measures between two columns of a coordinate matrix; smaller
// always means more alike. Index = position in the dialog's distance list.
#pragma once

#include <optional>

#include "distance/distance_weights.h"
#include "morlin/morlin_records.h"

namespace MatrixSpace {
struct matrix;
}

// Distance between columns x and y of coords under measure (0..9; any other
// index gives 0.0). eigenvalues has at least coords->rows rows; weights caches
// the per-measure vectors of this eigenvalue column.
double MeasureDistance(const MatrixSpace::matrix* coords, int x, int y,
                       const MatrixSpace::matrix* eigenvalues, int measure,
                       DistanceWeights& weights);

// The same between the coordinate vectors x and y of n numbers: lambda the
// eigenvalues (usable of them non-zero) and weight the measure's weight
// vector (DistanceWeights::For its slot), null for a measure without one.
double MeasureDistanceBetween(const float* x, const float* y, int n, const float* lambda,
                              int usable, int measure, const float* weight);
// The weight vector slot of measure, for the four measures that have one.
std::optional<DistanceWeights::Slot> WeightSlotOf(int measure);
// The same between each of count coordinate vectors xs (one after the other,
// n numbers each) and y, into out: each exactly MeasureDistanceBetween's
// value, the measure chosen once for all of them.
void MeasureDistancesBetween(const float* xs, int count, const float* y, int n, const float* lambda,
                             int usable, int measure, const float* weight, double* out);
