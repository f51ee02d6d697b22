// Runs of eight rotations over tiles of eight columns: each column's eight
// rows are loaded at once and transposed, so that the eight columns go through
// the run side by side in the lanes of one register.
#include "eigen/rotation_runs.h"

#include <immintrin.h>

// GCC 12's AVX-512 headers start several intrinsics from an undefined vector
// and then warn about it; the warning is theirs, not this file's.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace {

// Transposes the 8 x 8 block held one row per register.
__attribute__((always_inline, target("avx2"))) inline void Transpose8(__m256* r) {
    const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpackhi_ps(r[0], r[1]);
    const __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
    const __m256 t4 = _mm256_unpacklo_ps(r[4], r[5]), t5 = _mm256_unpackhi_ps(r[4], r[5]);
    const __m256 t6 = _mm256_unpacklo_ps(r[6], r[7]), t7 = _mm256_unpackhi_ps(r[6], r[7]);
    const __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44), u1 = _mm256_shuffle_ps(t0, t2, 0xEE);
    const __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44), u3 = _mm256_shuffle_ps(t1, t3, 0xEE);
    const __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44), u5 = _mm256_shuffle_ps(t4, t6, 0xEE);
    const __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44), u7 = _mm256_shuffle_ps(t5, t7, 0xEE);
    r[0] = _mm256_permute2f128_ps(u0, u4, 0x20);
    r[1] = _mm256_permute2f128_ps(u1, u5, 0x20);
    r[2] = _mm256_permute2f128_ps(u2, u6, 0x20);
    r[3] = _mm256_permute2f128_ps(u3, u7, 0x20);
    r[4] = _mm256_permute2f128_ps(u0, u4, 0x31);
    r[5] = _mm256_permute2f128_ps(u1, u5, 0x31);
    r[6] = _mm256_permute2f128_ps(u2, u6, 0x31);
    r[7] = _mm256_permute2f128_ps(u3, u7, 0x31);
}

}  // namespace

__attribute__((target("avx512f"))) int ApplyRunByTiles(const PlaneRotation* run, float* x,
                                                       ptrdiff_t xStride, float* const* col, int q0,
                                                       int first, int last) {
    __m512d cn[maxRunLength], sn[maxRunLength];
    for (int b = 0; b < maxRunLength; ++b) {
        cn[b] = _mm512_set1_pd(run[b].cn);
        sn[b] = _mm512_set1_pd(run[b].sn);
    }
    int k = first;
    for (; k + 8 <= last; k += 8) {
        // rows[b], lane i: column k + i, row q0 + b.
        __m256 rows[maxRunLength];
        for (int i = 0; i < 8; ++i) rows[i] = _mm256_loadu_ps(col[k + i] + q0);
        Transpose8(rows);
        alignas(32) float xs[8];
        for (int i = 0; i < 8; ++i) xs[i] = x[(k + i) * xStride];
        __m256 xv = _mm256_load_ps(xs);
        // PlaneRotation::Apply, lane by lane, for b = 0 .. 7 in turn.
        for (int b = 0; b < maxRunLength; ++b) {
            const __m512d xd = _mm512_cvtps_pd(xv), zd = _mm512_cvtps_pd(rows[b]);
            xv = _mm512_cvtpd_ps(_mm512_sub_pd(_mm512_mul_pd(xd, cn[b]), _mm512_mul_pd(zd, sn[b])));
            rows[b] =
                _mm512_cvtpd_ps(_mm512_add_pd(_mm512_mul_pd(xd, sn[b]), _mm512_mul_pd(zd, cn[b])));
        }
        _mm256_store_ps(xs, xv);
        for (int i = 0; i < 8; ++i) x[(k + i) * xStride] = xs[i];
        Transpose8(rows);
        for (int i = 0; i < 8; ++i) _mm256_storeu_ps(col[k + i] + q0, rows[i]);
    }
    return k;
}

#pragma GCC diagnostic pop
