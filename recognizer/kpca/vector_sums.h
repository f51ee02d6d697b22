// Sums over two float vectors accumulated in double precision: the inner loops
// of every kernel evaluation. Products and differences of floats are exact in
// double, so only the order of the additions differs from a plain loop.
#pragma once

double DotDouble(const float* x, const float* y, int n);
double SquaredDistanceDouble(const float* x, const float* y, int n);
