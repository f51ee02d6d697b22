// Jacobi eigen solver. Rotation quantities (angles, thresholds, norms) are
// doubles; the matrix and the eigenvectors are stored in single precision.
//
// The threshold starts at f0/n, f0 being the off-diagonal Frobenius norm, and
// each stage that ends without a rotation divides it by n twice; the run stops
// when thr/n no longer exceeds eps*f0/n.
//
// The rotations are the designed ones in the designed order, and every element
// takes its rotations in that order; only which element is rotated when
// differs. Rotations of consecutive rows q of one pass go in runs, so that the
// rows they share in a column are read once (rotation_runs.h), and from order
// 64 a second thread applies the parts of each rotation that the solver does
// not read again before the sweep ends.
#include "eigen/jacobi_eigen.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "compute/cpu_level.h"
#include "compute/workers.h"
#include "eigen/rotation_queue.h"
#include "eigen/rotation_runs.h"
#include "matrix/matrix.h"

namespace {

using MatrixSpace::matrix;

// A threshold stage always converges for finite input; the cap only keeps a
// pathological input (values that rounding keeps re-creating) from hanging the
// host. No ordinary matrix comes near it.
constexpr int maxSweepsPerStage = 500;

// A tolerance below this would ask for more than single precision can give.
constexpr float smallestTolerance = 1e-7f;

// Rotates the pair (p, q), p < q, of a to zero a(q, p), and returns the
// rotation. q continues a run of rotated rows that began at q0; the pairs left
// of row q0 are left to the run (ApplyRun), those left of column p to
// RotateLeftPart: neither is read until the run ends, nor the second until the
// sweep ends.
__attribute__((always_inline)) inline PlaneRotation RotatePair(matrix* a, int n, int p, int q,
                                                               int q0) {
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

    const PlaneRotation r{p, q, cn, sn};
    float** col = a->col;
    for (int k = q0; k < q; ++k) r.Apply(colP[k], col[k][q]);
    for (int k = q + 1; k < n; ++k) r.Apply(colP[k], colQ[k]);

    colP[p] = static_cast<float>(app * cn2 + aqq * sn2 - cross);
    colQ[q] = static_cast<float>(aqq * cn2 + app * sn2 + cross);
    colP[q] = 0.0f;
    colQ[p] = 0.0f;
    return r;
}

// The rest of a run of rotations (one p, consecutive q): pairs (p, k) and
// (q, k) for k < p, stored in the lower triangle's columns k, and columns p
// and q of the eigenvectors.
template <bool Tiles>
__attribute__((always_inline)) inline void RotateLeftPart(matrix* a, matrix* v, int n,
                                                          const PlaneRotation* run, int count) {
    const int p = run[0].p;
    // Row p of column k is a->col[0][p + k * n]: the columns are contiguous.
    ApplyRun<Tiles>(run, count, a->col[0] + p, n, a->col, run[0].q, 0, p);
    float* vp = v->col[p];
    for (int b = 0; b < count; ++b) {
        float* vq = v->col[run[b].q];
        for (int k = 0; k < n; ++k) run[b].Apply(vp[k], vq[k]);
    }
}

// One pass over all pairs, in runs of up to eight consecutive rotated rows,
// handing each run to rest (which applies its left part at once or queues it);
// returns whether any pair was rotated.
template <bool Tiles, class Rest>
__attribute__((always_inline)) inline bool Sweep(matrix* a, int n, double thr, Rest& rest) {
    bool rotated = false;
    for (int p = 0; p < n - 1; ++p) {
        float* colP = a->col[p];
        for (int q = p + 1; q < n;) {
            // A NaN never passes this test, so it is never rotated.
            if (!(std::fabs(double{colP[q]}) >= thr)) {
                ++q;
                continue;
            }
            PlaneRotation run[maxRunLength];
            const int q0 = q;
            int count = 0;
            do {
                run[count++] = RotatePair(a, n, p, q, q0);
                ++q;
            } while (count < maxRunLength && q < n && std::fabs(double{colP[q]}) >= thr);
            // The run's pairs between column p and row q0.
            ApplyRun<Tiles>(run, count, colP, 1, a->col, q0, p + 1, q0);
            rest(run, count);
            rotated = true;
        }
    }
    return rotated;
}

template <bool Tiles>
struct LeftPartsNow {
    matrix* a;
    matrix* v;
    int n;
    __attribute__((always_inline)) void operator()(const PlaneRotation* run, int count) const {
        RotateLeftPart<Tiles>(a, v, n, run, count);
    }
};

struct LeftPartsQueued {
    RotationQueue& queue;
    __attribute__((always_inline)) void operator()(const PlaneRotation* run, int count) const {
        for (int b = 0; b < count; ++b) queue.Push(run[b]);
    }
};

// The sweep's loops for one processor level: AVX-512 (with tiles), AVX2 and
// the baseline do the same operations on every element, so all give the
// same bits; the wider builds do eight or four at a time.
struct SweepKernels {
    bool (*sweep)(matrix* a, matrix* v, int n, double thr);
    bool (*sweepQueued)(matrix* a, RotationQueue& queue, int n, double thr);
    void (*rotateLeftPart)(matrix* a, matrix* v, int n, const PlaneRotation* run, int count);
};

#define JACOBI_BUILD(name, isa, tiles)                                                   \
    isa bool Sweep##name(matrix* a, matrix* v, int n, double thr) {                      \
        LeftPartsNow<tiles> rest{a, v, n};                                               \
        return Sweep<tiles>(a, n, thr, rest);                                            \
    }                                                                                    \
    isa bool SweepQueued##name(matrix* a, RotationQueue& queue, int n, double thr) {     \
        LeftPartsQueued rest{queue};                                                     \
        return Sweep<tiles>(a, n, thr, rest);                                            \
    }                                                                                    \
    isa void RotateLeftPart##name(matrix* a, matrix* v, int n, const PlaneRotation* run, \
                                  int count) {                                           \
        RotateLeftPart<tiles>(a, v, n, run, count);                                      \
    }                                                                                    \
    constexpr SweepKernels kernels##name{&Sweep##name, &SweepQueued##name, &RotateLeftPart##name};

JACOBI_BUILD(Avx512, __attribute__((target("avx512f"))), true)
JACOBI_BUILD(Avx2, __attribute__((target("avx2"))), false)
JACOBI_BUILD(Baseline, , false)
#undef JACOBI_BUILD

constexpr PerCpuLevel<const SweepKernels*> sweepKernels{&kernelsBaseline, &kernelsAvx2,
                                                        &kernelsAvx512};

// Threshold stages until the threshold falls to the stop value, each stage
// sweeping until a sweep rotates nothing.
template <class SweepAt>
void RunStages(double f0, double stop, int n, SweepAt sweep) {
    double thr = f0 / n;
    for (;;) {
        for (int sweeps = 0; sweeps < maxSweepsPerStage && sweep(thr); ++sweeps) {
        }
        const double t = thr / n;
        if (!(t > stop)) break;
        thr = t / n;
    }
}

// Below this order a rotation's left part is too small for a second thread to
// pay for the hand-over.
constexpr int minimumOrderForTwoThreads = 64;

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
                float eps, Workers* workers) {
    if (eps < smallestTolerance) eps = smallestTolerance;

    std::memset(v->data, 0, static_cast<size_t>(n) * n * sizeof(float));
    for (int k = 0; k < n; ++k) v->col[k][k] = 1.0f;

    double offDiagonal = 0.0;
    for (int c = 1; c < n; ++c)
        for (int r = 0; r < c; ++r) offDiagonal += double{a->col[c][r]} * a->col[c][r];
    const double f0 = std::sqrt(2.0 * offDiagonal);
    const double stop = eps * f0 / n;

    if (!(f0 <= stop)) {
        const SweepKernels& kernels = *sweepKernels.Active();
        // Within a sweep the left parts of the rotations and the eigenvectors
        // are written by nothing else and read by nothing but later left
        // parts: a second thread applies them, in the same order, while this
        // one finds the next rotations, and catches up before the next sweep.
        // Only where the host's thread limit allows a second thread.
        const bool twoThreads =
            workers != nullptr && n >= minimumOrderForTwoThreads && workers->Slots() >= 2;
        const auto queue = twoThreads ? std::make_unique<RotationQueue>() : nullptr;
        const auto solve = [&] {
            RunStages(f0, stop, n, [&](double thr) {
                const bool rotated = kernels.sweepQueued(a, *queue, n, thr);
                queue->WaitUntilApplied();
                return rotated;
            });
            queue->Close();
        };
        // Consecutive rotations of one p and consecutive q, as the solver
        // made them, go as runs.
        const auto applyLeftParts = [&] {
            queue->Drain([&](const PlaneRotation* r, size_t count) {
                for (size_t i = 0; i < count;) {
                    int length = 1;
                    while (length < maxRunLength && i + length < count &&
                           r[i + length].p == r[i].p && r[i + length].q == r[i].q + length)
                        ++length;
                    kernels.rotateLeftPart(a, v, n, r + i, length);
                    i += static_cast<size_t>(length);
                }
            });
        };
        if (!twoThreads || !workers->RunPair(solve, applyLeftParts))
            RunStages(f0, stop, n, [&](double thr) { return kernels.sweep(a, v, n, thr); });
    }

    for (int k = 0; k < n; ++k) e->col[0][k] = a->col[k][k];
    SortByMagnitude(v, e, n);
    return 0;
}
