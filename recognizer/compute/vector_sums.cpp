// Vectorised double-precision sums over eight lanes, element k adding into
// lane k mod 8; built for AVX-512 (one eight-lane register), AVX2 and the
// baseline (two four-lane registers), each call picking the build the processor
// runs. Every build takes the same additions in the same order.
#include "compute/vector_sums.h"

#include "compute/cpu_level.h"

#include <immintrin.h>

#include <cstring>

// The vector helpers below are file-local and always inlined, so the ABI of
// passing 32-byte vectors without AVX never matters.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

typedef float Float4 __attribute__((vector_size(16)));
typedef double Double4 __attribute__((vector_size(32)));
typedef double Double8 __attribute__((vector_size(64)));

__attribute__((always_inline)) inline Double4 Load(const float* p) {
    Float4 f;
    std::memcpy(&f, p, sizeof f);
    return __builtin_convertvector(f, Double4);
}

__attribute__((always_inline)) inline double AddLanes(const Double4& v) {
    return (v[0] + v[1]) + (v[2] + v[3]);
}

// One conversion of eight floats (the generic conversion is split in halves;
// the all-ones mask spares the unmasked form a false uninitialised warning).
__attribute__((always_inline, target("avx512f"))) inline Double8 Load8(const float* p) {
    return _mm512_maskz_cvtps_pd(0xFF, _mm256_loadu_ps(p));
}

// Lanes 0-3 of v are the four-lane build's first register, lanes 4-7 its
// second: the same final additions as AddLanes(a + b).
__attribute__((always_inline, target("avx512f"))) inline double AddEightLanes(Double8 v) {
    const Double4 a{v[0], v[1], v[2], v[3]};
    const Double4 b{v[4], v[5], v[6], v[7]};
    return AddLanes(a + b);
}

// sum plus the products (or squared differences) of the elements from k on,
// one at a time: the tail that does not fill eight lanes.
template <bool Distance>
__attribute__((always_inline)) inline double AddTail(double sum, const float* x, const float* y,
                                                     int k, int n) {
    for (; k < n; ++k) {
        if constexpr (Distance) {
            const double d = double{x[k]} - double{y[k]};
            sum += d * d;
        } else {
            sum += double{x[k]} * y[k];
        }
    }
    return sum;
}

__attribute__((always_inline)) inline double Dot(const float* x, const float* y, int n) {
    Double4 a{}, b{};
    int k = 0;
    for (; k + 8 <= n; k += 8) {
        a += Load(x + k) * Load(y + k);
        b += Load(x + k + 4) * Load(y + k + 4);
    }
    return AddTail<false>(AddLanes(a + b), x, y, k, n);
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
    return AddTail<true>(AddLanes(a + b), x, y, k, n);
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
        out[s] = AddTail<Distance>(AddLanes(a[s] + b[s]), x[s], y, k, n);
    }
}

// The same as Sums4 with one eight-lane register per sum.
template <bool Distance>
__attribute__((always_inline, target("avx512f"))) inline void Sums4Wide(const float* const* x,
                                                                        const float* y, int n,
                                                                        double* out) {
    Double8 a[4] = {};
    [[maybe_unused]] const Double8 minusOne = _mm512_set1_pd(-1.0);
    int k = 0;
    for (; k + 8 <= n; k += 8) {
        const Double8 y8 = Load8(y + k);
        for (int s = 0; s < 4; ++s) {
            if constexpr (Distance) {
                // x - y as -1 * y + x: one rounding of the same exact value,
                // so the same bits, but on the multiply units rather than the
                // busier add units.
                const Double8 d = _mm512_fmadd_pd(minusOne, y8, Load8(x[s] + k));
                a[s] += d * d;
            } else {
                a[s] += Load8(x[s] + k) * y8;
            }
        }
    }
    for (int s = 0; s < 4; ++s) {
        out[s] = AddTail<Distance>(AddEightLanes(a[s]), x[s], y, k, n);
    }
}

template <bool Distance>
__attribute__((target("avx512f"))) void Sums4Avx512(const float* const* x, const float* y, int n,
                                                    double* out) {
    Sums4Wide<Distance>(x, y, n, out);
}

template <bool Distance>
void Sums4Baseline(const float* const* x, const float* y, int n, double* out) {
    Sums4<Distance>(x, y, n, out);
}

double DotBaseline(const float* x, const float* y, int n) {
    return Dot(x, y, n);
}

double SquaredDistanceBaseline(const float* x, const float* y, int n) {
    return SquaredDistance(x, y, n);
}

template <bool Distance>
__attribute__((target("avx2"))) void Sums4Avx2(const float* const* x, const float* y, int n,
                                               double* out) {
    Sums4<Distance>(x, y, n, out);
}

__attribute__((target("avx2"))) double DotAvx2(const float* x, const float* y, int n) {
    return Dot(x, y, n);
}

__attribute__((target("avx2"))) double SquaredDistanceAvx2(const float* x, const float* y, int n) {
    return SquaredDistance(x, y, n);
}

__attribute__((target("avx512f"))) double DotAvx512(const float* x, const float* y, int n) {
    return Dot(x, y, n);
}

__attribute__((target("avx512f"))) double SquaredDistanceAvx512(const float* x, const float* y,
                                                                int n) {
    return SquaredDistance(x, y, n);
}

// The builds of each sum, by processor level.
using Sum = double (*)(const float*, const float*, int);
using FourSums = void (*)(const float* const*, const float*, int, double*);
constexpr PerCpuLevel<Sum> dots{&DotBaseline, &DotAvx2, &DotAvx512};
constexpr PerCpuLevel<Sum> distances{&SquaredDistanceBaseline, &SquaredDistanceAvx2,
                                     &SquaredDistanceAvx512};
constexpr PerCpuLevel<FourSums> dots4{&Sums4Baseline<false>, &Sums4Avx2<false>,
                                      &Sums4Avx512<false>};
constexpr PerCpuLevel<FourSums> distances4{&Sums4Baseline<true>, &Sums4Avx2<true>,
                                           &Sums4Avx512<true>};

}  // namespace

double DotDouble(const float* x, const float* y, int n) {
    return dots.Active()(x, y, n);
}

double SquaredDistanceDouble(const float* x, const float* y, int n) {
    return distances.Active()(x, y, n);
}

void DotDouble4(const float* const* x, const float* y, int n, double* out) {
    dots4.Active()(x, y, n, out);
}

void SquaredDistanceDouble4(const float* const* x, const float* y, int n, double* out) {
    distances4.Active()(x, y, n, out);
}
