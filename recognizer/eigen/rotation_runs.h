// Runs of rotations: rotations (p, q0), (p, q0 + 1), ... of one Jacobi pass,
// applied together to the pairs they share across many columns. Rows q0 and
// on of a column are contiguous, so a run reads each column's rows once
// instead of one strided element per rotation.
#pragma once

#include <cstddef>

#include "eigen/rotation_queue.h"

// The longest run applied together.
constexpr int maxRunLength = 8;

// Eight columns at a time (count must be maxRunLength): returns the first
// column of [first, last) left for the caller. Built for AVX-512; call only
// where the processor has it.
int ApplyRunByTiles(const PlaneRotation* run, float* x, ptrdiff_t xStride, float* const* col,
                    int q0, int first, int last);

// For every column k in [first, last) and b = 0 .. count - 1 in turn, rotates
// the pair (x[k * xStride], col[k][q0 + b]) by run[b]: each pair takes exactly
// PlaneRotation::Apply, and x[k] takes the rotations in run order.
template <bool Tiles>
__attribute__((always_inline)) inline void ApplyRun(const PlaneRotation* run, int count, float* x,
                                                    ptrdiff_t xStride, float* const* col, int q0,
                                                    int first, int last) {
    int k = first;
    if constexpr (Tiles)
        if (count == maxRunLength) k = ApplyRunByTiles(run, x, xStride, col, q0, first, last);
    for (; k < last; ++k) {
        float& xk = x[k * xStride];
        float* z = col[k] + q0;
        for (int b = 0; b < count; ++b) run[b].Apply(xk, z[b]);
    }
}
