// Vectorised double-precision sums: four independent lanes, built once for
// AVX2 and once for the baseline instruction set; each call picks the build
// the processor runs.
#include "kpca/vector_sums.h"

#include <cstring>

// The vector helpers below are file-local and always inlined, so the ABI of
// passing 32-byte vectors without AVX never matters.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

typedef float Float4 __attribute__((vector_size(16)));
typedef double Double4 __attribute__((vector_size(32)));

__attribute__((always_inline)) inline Double4 Load(const float* p) {
    Float4 f;
    std::memcpy(&f, p, sizeof f);
    return __builtin_convertvector(f, Double4);
}

__attribute__((always_inline)) inline double Lanes(Double4 v) {
    return (v[0] + v[1]) + (v[2] + v[3]);
}

__attribute__((always_inline)) inline double Dot(const float* x, const float* y, int n) {
    Double4 a{}, b{};
    int k = 0;
    for (; k + 8 <= n; k += 8) {
        a += Load(x + k) * Load(y + k);
        b += Load(x + k + 4) * Load(y + k + 4);
    }
    double sum = Lanes(a + b);
    for (; k < n; ++k) sum += double{x[k]} * y[k];
    return sum;
}

__attribute__((always_inline)) inline double SquaredDistance(const float* x, const float* y,
                                                             int n) {
    Double4 a{}, b{};
    int k = 0;
    for (; k + 8 <= n; k += 8) {
        const Double4 d0 = Load(x + k) - Load(y + k);
        const Double4 d1 = Load(x + k + 4) - Load(y + k + 4);
        a += d0 * d0;
        b += d1 * d1;
    }
    double sum = Lanes(a + b);
    for (; k < n; ++k) {
        const double d = double{x[k]} - double{y[k]};
        sum += d * d;
    }
    return sum;
}

// Four sums against one vector at once: each sum takes exactly the steps of
// the single one above, but four independent chains hide the latency of the
// additions that bounds a single sum.
template <bool Distance>
__attribute__((always_inline)) inline void Sums4(const float* const* x, const float* y, int n,
                                                 double* out) {
    Double4 a[4] = {}, b[4] = {};
    int k = 0;
    for (; k + 8 <= n; k += 8) {
        const Double4 y0 = Load(y + k);
        const Double4 y1 = Load(y + k + 4);
        for (int s = 0; s < 4; ++s) {
            if constexpr (Distance) {
                const Double4 d0 = Load(x[s] + k) - y0;
                const Double4 d1 = Load(x[s] + k + 4) - y1;
                a[s] += d0 * d0;
                b[s] += d1 * d1;
            } else {
                a[s] += Load(x[s] + k) * y0;
                b[s] += Load(x[s] + k + 4) * y1;
            }
        }
    }
    for (int s = 0; s < 4; ++s) {
        double sum = Lanes(a[s] + b[s]);
        for (int t = k; t < n; ++t) {
            if constexpr (Distance) {
                const double d = double{x[s][t]} - double{y[t]};
                sum += d * d;
            } else {
                sum += double{x[s][t]} * y[t];
            }
        }
        out[s] = sum;
    }
}

__attribute__((target("avx2"))) void Dot4Avx2(const float* const* x, const float* y, int n,
                                              double* out) {
    Sums4<false>(x, y, n, out);
}

__attribute__((target("avx2"))) void SquaredDistance4Avx2(const float* const* x, const float* y,
                                                          int n, double* out) {
    Sums4<true>(x, y, n, out);
}

__attribute__((target("avx2"))) double DotAvx2(const float* x, const float* y, int n) {
    return Dot(x, y, n);
}

__attribute__((target("avx2"))) double SquaredDistanceAvx2(const float* x, const float* y, int n) {
    return SquaredDistance(x, y, n);
}

bool HasAvx2() {
    return __builtin_cpu_supports("avx2");
}

}  // namespace

double DotDouble(const float* x, const float* y, int n) {
    return HasAvx2() ? DotAvx2(x, y, n) : Dot(x, y, n);
}

double SquaredDistanceDouble(const float* x, const float* y, int n) {
    return HasAvx2() ? SquaredDistanceAvx2(x, y, n) : SquaredDistance(x, y, n);
}

void DotDouble4(const float* const* x, const float* y, int n, double* out) {
    if (HasAvx2())
        Dot4Avx2(x, y, n, out);
    else
        Sums4<false>(x, y, n, out);
}

void SquaredDistanceDouble4(const float* const* x, const float* y, int n, double* out) {
    if (HasAvx2())
        SquaredDistance4Avx2(x, y, n, out);
    else
        Sums4<true>(x, y, n, out);
}
