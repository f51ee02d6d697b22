// Jacobi eigen solver. Rotation quantities (angles, thresholds, norms) are
// doubles; the matrix and the eigenvectors are stored in single precision.
//
// The threshold starts at f0/n, f0 being the off-diagonal Frobenius norm, and
// each stage that ends without a rotation divides it by n twice; the run stops
// when thr/n no longer exceeds eps*f0/n.
#include "eigen/jacobi_eigen.h"

#include <cmath>
#include <cstring>

#include "matrix/matrix.h"

namespace {

using MatrixSpace::matrix;

// A threshold stage always converges for finite input; the cap only keeps a
// pathological input (values that rounding keeps re-creating) from hanging the
// host. No ordinary matrix comes near it.
constexpr int maxSweepsPerStage = 500;

// Rotates the pair (p, q), p < q, to zero a(q, p).
__attribute__((always_inline)) inline void Rotate(matrix* a, matrix* v, int n, int p, int q) {
    float* colP = a->col[p];
    float* colQ = a->col[q];
    const double apq = colP[q];
    const double app = colP[p];
    const double aqq = colQ[q];

    const double y = (app - aqq) * 0.5;
    double w = -apq / std::sqrt(apq * apq + y * y);
    if (y < 0) w = -w;
    const double sn = w / std::sqrt(2.0 * (1.0 + std::sqrt(1.0 - w * w)));
    const double cn = std::sqrt(1.0 - sn * sn);
    const double sn2 = sn * sn;
    const double cn2 = cn * cn;
    const double cross = 2.0 * apq * sn * cn;

    // Pair (p, k) and pair (q, k) as stored in the lower triangle.
    auto rotate = [&](float& x, float& z) {
        const double xv = x, zv = z;
        x = static_cast<float>(xv * cn - zv * sn);
        z = static_cast<float>(xv * sn + zv * cn);
    };
    float** col = a->col;
    for (int k = 0; k < p; ++k) rotate(col[k][p], col[k][q]);
    for (int k = p + 1; k < q; ++k) rotate(colP[k], col[k][q]);
    for (int k = q + 1; k < n; ++k) rotate(colP[k], colQ[k]);

    float* vp = v->col[p];
    float* vq = v->col[q];
    for (int k = 0; k < n; ++k) {
        const double xv = vp[k], zv = vq[k];
        vp[k] = static_cast<float>(xv * cn - zv * sn);
        vq[k] = static_cast<float>(xv * sn + zv * cn);
    }

    colP[p] = static_cast<float>(app * cn2 + aqq * sn2 - cross);
    colQ[q] = static_cast<float>(aqq * cn2 + app * sn2 + cross);
    colP[q] = 0.0f;
    colQ[p] = 0.0f;
}

// One pass over all pairs; returns whether any pair was rotated.
__attribute__((always_inline)) inline bool Sweep(matrix* a, matrix* v, int n, double thr) {
    bool rotated = false;
    for (int p = 0; p < n - 1; ++p) {
        for (int q = p + 1; q < n; ++q) {
            // A NaN never passes this test, so it is never rotated.
            if (std::fabs(double{a->col[p][q]}) >= thr) {
                Rotate(a, v, n, p, q);
                rotated = true;
            }
        }
    }
    return rotated;
}

// The sweep built for AVX2 and for the baseline: the same operations on
// every element, so both give the same bits; AVX2 does four at a time.
__attribute__((target("avx2"))) bool SweepAvx2(matrix* a, matrix* v, int n, double thr) {
    return Sweep(a, v, n, thr);
}

bool SweepBaseline(matrix* a, matrix* v, int n, double thr) { return Sweep(a, v, n, thr); }

void SortByMagnitude(matrix* v, matrix* e, int n) {
    float* values = e->col[0];
    for (int k = 0; k < n; ++k) {
        int best = k;
        for (int i = k + 1; i < n; ++i)
            if (std::fabs(values[i]) > std::fabs(values[best])) best = i;
        if (best == k) continue;
        const float t = values[k];
        values[k] = values[best];
        values[best] = t;
        for (int r = 0; r < n; ++r) {
            const float x = v->col[k][r];
            v->col[k][r] = v->col[best][r];
            v->col[best][r] = x;
        }
    }
}

}  // namespace

int JacobiEigen(MatrixSpace::matrix* a, MatrixSpace::matrix* v, MatrixSpace::matrix* e, int n,
                float eps) {
    if (eps < 1e-7f) eps = 1e-7f;

    std::memset(v->data, 0, static_cast<size_t>(n) * n * sizeof(float));
    for (int k = 0; k < n; ++k) v->col[k][k] = 1.0f;

    double offDiagonal = 0.0;
    for (int c = 1; c < n; ++c)
        for (int r = 0; r < c; ++r) offDiagonal += double{a->col[c][r]} * a->col[c][r];
    const double f0 = std::sqrt(2.0 * offDiagonal);
    const double stop = eps * f0 / n;

    if (!(f0 <= stop)) {
        auto* sweep = __builtin_cpu_supports("avx2") ? &SweepAvx2 : &SweepBaseline;
        double thr = f0 / n;
        for (;;) {
            for (int sweeps = 0; sweeps < maxSweepsPerStage && sweep(a, v, n, thr); ++sweeps) {
            }
            const double t = thr / n;
            if (!(t > stop)) break;
            thr = t / n;
        }
    }

    for (int k = 0; k < n; ++k) e->col[0][k] = a->col[k][k];
    SortByMagnitude(v, e, n);
    return 0;
}
