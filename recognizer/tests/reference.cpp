// The straightforward computation the faster recognizer must equal bit for bit.
#include "reference.h"

#include <lapacke.h>

#include <algorithm>
#include <cmath>
#include <random>

using namespace MatrixSpace;

matrix* RandomSymmetric(int n, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    matrix* a = MakeMatrix(n, n);
    for (int j = 0; j < n; ++j)
        for (int i = j; i < n; ++i) a->col[j][i] = a->col[i][j] = value(random);
    return a;
}

std::vector<double> ReferenceEigenvalues(const matrix* a) {
    const int n = a->rows;
    std::vector<double> full(static_cast<size_t>(n) * n), w(static_cast<size_t>(n));
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) full[static_cast<size_t>(j) * n + i] = a->col[j][i];
    if (LAPACKE_dsyevd(LAPACK_COL_MAJOR, 'N', 'L', n, full.data(), n, w.data()) != 0) return {};
    std::stable_sort(w.begin(), w.end(),
                     [](double x, double y) { return std::fabs(x) > std::fabs(y); });
    return w;
}
