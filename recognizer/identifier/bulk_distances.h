// Euclidean distances of many probes to many signatures at once, through one
// matrix product per block of probes (|p - g|^2 = |p|^2 + |g|^2 - 2 p.g, in
// double): for the searches that training and calibration make by the
// thousand. Identification itself keeps its own sums (FaceModel::Distances),
// which this agrees with up to rounding.
#pragma once

#include <functional>

// For every probe k (probes one after the other, dimensions numbers each),
// take(k, distances) with its distance to each of the gallery's count
// signatures. Probes go in blocks sized so that a block's distances stay
// within a few megabytes.
void ForEachProbeDistances(const float* probes, int probeCount, const float* gallery, int count,
                           int dimensions, const std::function<void(int, const double*)>& take);
