// Sums over two float vectors accumulated in double precision: the inner loops
// of every kernel evaluation. A product of two floats is exact in double and
// a difference is rounded once, the same way in every build; the builds add
// in one order (eight lanes, then the tail), so every processor level gives
// the same bits.
#pragma once

double DotDouble(const float* x, const float* y, int n);
double SquaredDistanceDouble(const float* x, const float* y, int n);

// The sums of four vectors x[0..3] with y, each bit for bit what the single
// call gives; faster for its four independent chains of additions.
void DotDouble4(const float* const* x, const float* y, int n, double* out);
void SquaredDistanceDouble4(const float* const* x, const float* y, int n, double* out);
