// Sums over two float vectors accumulated in double precision: the inner loops
// of every kernel evaluation. Products and differences of floats are exact in
// double, so only the order of the additions differs from a plain loop.
#pragma once

double DotDouble(const float* x, const float* y, int n);
double SquaredDistanceDouble(const float* x, const float* y, int n);

// The sums of four vectors x[0..3] with y, each bit for bit what the single
// call gives; faster for its four independent chains of additions.
void DotDouble4(const float* const* x, const float* y, int n, double* out);
void SquaredDistanceDouble4(const float* const* x, const float* y, int n, double* out);
