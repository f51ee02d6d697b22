// The recognizer's faster training and recognition give the same bits as the
// straightforward computation they replace, kept here as the reference: sums
// one element at a time in eight lanes, the kernel matrix one value at a time,
// centring by full products with the n x n matrix Q, the Jacobi solver rotating
// everything at once on one thread, recognition with the same products for
// every probe. Checked for every kernel, on ORL faces and on random images and
// matrices, on one thread and on two, at every processor level this machine
// runs (AVX-512, AVX2, the baseline).
#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <ostream>
#include <random>
#include <vector>

#include "compute/cpu_level.h"
#include "compute/workers.h"
#include "distance/distance_weights.h"
#include "distance/measure_distance.h"
#include "eigen/jacobi_eigen.h"
#include "gallery.h"
#include "kernel_pca/projection.h"
#include "compute/vector_sums.h"
#include "matrix/matrix.h"
#include "morlin/morlin.h"
#include "reference.h"
#include "recognizer_internals.h"

namespace {

using namespace MatrixSpace;

// The host's thread limit for one scope, restored however the scope ends.
class ThreadLimit {
public:
    explicit ThreadLimit(int threads) : previous(omp_get_max_threads()) {
        omp_set_num_threads(threads);
    }
    ~ThreadLimit() { omp_set_num_threads(previous); }
    ThreadLimit(const ThreadLimit&) = delete;
    ThreadLimit& operator=(const ThreadLimit&) = delete;

private:
    int previous;
};

// The sum over k of x[k] * y[k], or of (x[k] - y[k])^2, in double: element k
// adds into lane k mod 8, the lanes are combined pairwise, the tail adds last.
double ReferenceSum(const float* x, const float* y, int n, bool distance) {
    double lanes[8] = {};
    int k = 0;
    for (; k + 8 <= n; k += 8)
        for (int l = 0; l < 8; ++l) {
            const double d = double{x[k + l]} - double{y[k + l]};
            lanes[l] += distance ? d * d : double{x[k + l]} * double{y[k + l]};
        }
    double sum = ((lanes[0] + lanes[4]) + (lanes[1] + lanes[5])) +
                 ((lanes[2] + lanes[6]) + (lanes[3] + lanes[7]));
    for (; k < n; ++k) {
        const double d = double{x[k]} - double{y[k]};
        sum += distance ? d * d : double{x[k]} * double{y[k]};
    }
    return sum;
}

// The cyclic threshold Jacobi solver, each rotation applied whole before the
// next is chosen.
void ReferenceJacobi(matrix* a, matrix* v, matrix* e, int n, float eps) {
    std::fill(v->data, v->data + static_cast<size_t>(n) * n, 0.0f);
    for (int k = 0; k < n; ++k) v->col[k][k] = 1.0f;
    double offDiagonal = 0.0;
    for (int c = 1; c < n; ++c)
        for (int r = 0; r < c; ++r) offDiagonal += double{a->col[c][r]} * a->col[c][r];
    const double f0 = std::sqrt(2.0 * offDiagonal);
    const double stop = eps * f0 / n;
    for (double thr = f0 / n; !(f0 <= stop);) {  // stages
        for (bool rotated = true; rotated;) {    // sweeps
            rotated = false;
            for (int p = 0; p < n - 1; ++p)
                for (int q = p + 1; q < n; ++q) {
                    const double apq = a->col[p][q];
                    if (!(std::fabs(apq) >= thr)) continue;
                    rotated = true;
                    const double app = a->col[p][p], aqq = a->col[q][q];
                    const double y = (app - aqq) * 0.5;
                    double w = -apq / std::sqrt(apq * apq + y * y);
                    if (y < 0) w = -w;
                    const double sn = w / std::sqrt(2.0 * (1.0 + std::sqrt(1.0 - w * w)));
                    const double cn = std::sqrt(1.0 - sn * sn);
                    const auto rotate = [&](float& x, float& z) {
                        const double xv = x, zv = z;
                        x = static_cast<float>(xv * cn - zv * sn);
                        z = static_cast<float>(xv * sn + zv * cn);
                    };
                    for (int k = 0; k < n; ++k) {
                        if (k == p || k == q) continue;
                        rotate(k < p ? a->col[k][p] : a->col[p][k],
                               k < q ? a->col[k][q] : a->col[q][k]);
                    }
                    for (int k = 0; k < n; ++k) rotate(v->col[p][k], v->col[q][k]);
                    const double cross = 2.0 * apq * sn * cn;
                    a->col[p][p] = static_cast<float>(app * cn * cn + aqq * sn * sn - cross);
                    a->col[q][q] = static_cast<float>(aqq * cn * cn + app * sn * sn + cross);
                    a->col[p][q] = a->col[q][p] = 0.0f;
                }
        }
        const double t = thr / n;
        if (!(t > stop)) break;
        thr = t / n;
    }
    for (int k = 0; k < n; ++k) e->col[0][k] = a->col[k][k];
    for (int k = 0; k < n; ++k) {
        int best = k;
        for (int i = k + 1; i < n; ++i)
            if (std::fabs(e->col[0][i]) > std::fabs(e->col[0][best])) best = i;
        std::swap(e->col[0][k], e->col[0][best]);
        for (int r = 0; r < n; ++r) std::swap(v->col[k][r], v->col[best][r]);
    }
}

// The designed kernels, as the recognizer evaluates them.
float ReferenceKernel(const matrix* m, int i, int j, const PCAParameter& p, int pixels) {
    const auto dot = [&] {
        return static_cast<float>(ReferenceSum(m->col[i], m->col[j], pixels, false));
    };
    const float g = static_cast<float>(p.gamma);
    const float c = static_cast<float>(p.coef0);
    switch (p.isKernel ? p.kernelType : 0) {
        case 1:
            return static_cast<float>(
                std::pow(double{g * dot() + c}, double{static_cast<float>(p.degree)}));
        case 2:
            return static_cast<float>(
                std::exp(-p.gamma * ReferenceSum(m->col[i], m->col[j], pixels, true)));
        case 3:
            return static_cast<float>(std::tanh(double{g * dot() + c}));
        default:
            return dot();
    }
}

matrix* Constant(int rows, int cols, float value) {
    matrix* m = MakeMatrix(rows, cols);
    std::fill(m->data, m->data + static_cast<size_t>(rows) * cols, value);
    return m;
}

// Centring and projection exactly as the design writes them.
struct Reference {
    MatrixGuard kernel, centred, vectors, values, coordinates;
    int usable = 0;

    Reference(const CNolt_PCARecognition& r) {
        const int n = r.SampleCount();
        const PCAParameter& p = r.Parameters();
        kernel = MatrixGuard(MakeMatrix(n, n));
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i)
                kernel->col[j][i] = ReferenceKernel(RecognizerInternals::Samples(r), std::min(i, j),
                                                    std::max(i, j), p, r.PixelCount());
        MatrixGuard q(Constant(n, n, static_cast<float>(-1.0 / n)));
        MatrixGuard r1(MultiplyMatrix(q.get(), kernel.get()));
        MatrixGuard r2(MultiplyMatrix(kernel.get(), q.get()));
        MatrixGuard r3(MultiplyMatrix(r1.get(), q.get()));
        centred = MatrixGuard(AddMatrix(kernel.get(), r1.get()));
        AddToMatrix(centred.get(), r2.get());
        AddToMatrix(centred.get(), r3.get());

        MatrixGuard scratch(CopyMatrix(centred.get()));
        MatrixGuard allVectors(MakeMatrix(n, n)), allValues(MakeMatrix(n, 1));
        ReferenceJacobi(scratch.get(), allVectors.get(), allValues.get(), n, 0.001f);
        vectors = MatrixGuard(ColumnRange(allVectors.get(), 1, r.ComponentCount()));
        values = MatrixGuard(RowRange(allValues.get(), 1, r.ComponentCount()));
        for (int c = 0; c < vectors->cols; ++c) {
            double sum = 0.0;
            for (int k = 0; k < n; ++k) sum += double{vectors->col[c][k]} * vectors->col[c][k];
            const float norm = static_cast<float>(std::sqrt(sum));
            if (norm != 0.0f)
                for (int k = 0; k < n; ++k) vectors->col[c][k] = vectors->col[c][k] / norm;
        }
        usable = RecognizerInternals::UsableComponents(r);
        coordinates = MatrixGuard(MakeMatrix(r.ComponentCount(), n + 1));
        ProjectCentredColumns(vectors.get(), values.get(), usable, centred.get(), coordinates.get(),
                              0);
    }

    // Distances of the probe (already equalized in the samples' last column).
    std::vector<double> Distances(const CNolt_PCARecognition& r) {
        const int n = r.SampleCount();
        const PCAParameter& p = r.Parameters();
        MatrixGuard k(ZeroMatrix(n, 1));
        for (int i = 0; i < n; ++i)
            k->col[0][i] =
                ReferenceKernel(RecognizerInternals::Samples(r), i, n, p, r.PixelCount());
        MatrixGuard bigQ(Constant(n, n, static_cast<float>(-1.0 / n)));
        MatrixGuard q(Constant(n, 1, static_cast<float>(-1.0 / n)));
        MatrixGuard t1(MultiplyMatrix(kernel.get(), q.get()));
        MatrixGuard t2(MultiplyMatrix(bigQ.get(), k.get()));
        MatrixGuard t3(MultiplyMatrix(bigQ.get(), t1.get()));
        AddToMatrix(k.get(), t1.get());
        AddToMatrix(k.get(), t2.get());
        AddToMatrix(k.get(), t3.get());
        ProjectCentredColumns(vectors.get(), values.get(), usable, k.get(), coordinates.get(), n);
        DistanceWeights weights;
        weights.Reset(usable);
        std::vector<double> distances;
        for (int i = 0; i < n; ++i)
            distances.push_back(
                MeasureDistance(coordinates.get(), i, n, values.get(), p.distanceType, weights));
        return distances;
    }
};

bool SameBits(const matrix* a, const matrix* b) {
    return a->rows == b->rows && a->cols == b->cols &&
           std::memcmp(a->data, b->data, static_cast<size_t>(a->rows) * a->cols * sizeof(float)) ==
               0;
}

struct Case {
    const char* name;
    PCAParameter param;
};

// By name: the default printer would show the structure's padding bytes.
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

PCAParameter Kernel(int type, double gamma, double coef0, double degree, int measure) {
    PCAParameter p;
    p.isKernel = type >= 0;
    p.kernelType = std::max(type, 0);
    p.gamma = gamma;
    p.coef0 = coef0;
    p.degree = degree;
    p.distanceType = measure;
    p.componentNum = 25;
    p.threshold = std::numeric_limits<double>::infinity();
    return p;
}

// Every processor level this machine runs, narrowest first; the wider ones
// it lacks are skipped by name.
constexpr CpuLevel levels[] = {CpuLevel::Baseline, CpuLevel::Avx2, CpuLevel::Avx512};

const char* LevelName(CpuLevel level) {
    switch (level) {
        case CpuLevel::Avx512:
            return "Avx512";
        case CpuLevel::Avx2:
            return "Avx2";
        case CpuLevel::Baseline:
            break;
    }
    return "Baseline";
}

class BitIdentityTest : public ::testing::TestWithParam<std::tuple<Case, int, CpuLevel>> {};

TEST_P(BitIdentityTest, TrainingAndRecognitionMatchTheReference) {
    const auto& [c, threads, level] = GetParam();
    if (level > SupportedCpuLevel()) GTEST_SKIP() << "this processor lacks " << LevelName(level);
    const ThreadLimit limit(threads);
    const ScopedCpuLevel cpu(level);
    for (bool faces : {true, false}) {
        // Galleries large enough for the solver's second thread.
        Gallery gallery = faces ? OrlGallery(20, 1, 4) : RandomGallery(72, 112, 92, 5);
        Gallery probe = faces ? OrlGallery(1, 9, 9) : RandomGallery(1, 112, 92, 6);
        CNolt_PCARecognition r;
        r.SetSample(gallery.Pointers(), gallery.Count(), 112, 92);
        r.SetPCAPara(c.param);
        r.Train();
        ASSERT_TRUE(r.IsTrained());
        Reference reference(r);
        EXPECT_TRUE(SameBits(RecognizerInternals::KernelMatrix(r), reference.kernel.get()))
            << faces;
        EXPECT_TRUE(SameBits(RecognizerInternals::CenteredKernel(r), reference.centred.get()))
            << faces;
        EXPECT_TRUE(SameBits(RecognizerInternals::Eigen(r).eigenvalues, reference.values.get()))
            << faces;
        EXPECT_TRUE(SameBits(RecognizerInternals::Eigen(r).eigenvectors, reference.vectors.get()))
            << faces;
        for (int j = 0; j < r.SampleCount(); ++j)
            ASSERT_EQ(std::memcmp(RecognizerInternals::Projections(r)->col[j],
                                  reference.coordinates->col[j],
                                  sizeof(float) * static_cast<size_t>(r.ComponentCount())),
                      0)
                << "coordinates of image " << j;

        std::vector<foundFace> found;
        r.Recognition(probe.RowPointers(0), 112, 92, found);
        const std::vector<double> expected = reference.Distances(r);
        ASSERT_EQ(found.size(), expected.size());
        for (const foundFace& f : found)
            EXPECT_EQ(f.distance, expected[static_cast<size_t>(f.index)]) << "image " << f.index;
    }
}

// The double sums themselves, before any rounding to a float kernel value could
// hide a difference; lengths with and without a tail.
class SumBitIdentityTest : public ::testing::TestWithParam<CpuLevel> {};

TEST_P(SumBitIdentityTest, FourAtATimeMatchTheReference) {
    if (GetParam() > SupportedCpuLevel()) GTEST_SKIP() << "this processor lacks it";
    const ScopedCpuLevel cpu(GetParam());
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    for (int n : {3, 8, 1001, 10304}) {
        std::vector<float> data(static_cast<size_t>(n) * 5);
        for (float& x : data) x = value(random);
        const float* y = data.data() + 4 * n;
        const float* x[4] = {data.data(), data.data() + n, data.data() + 2 * n,
                             data.data() + 3 * n};
        double dots[4], distances[4];
        DotDouble4(x, y, n, dots);
        SquaredDistanceDouble4(x, y, n, distances);
        for (int s = 0; s < 4; ++s) {
            EXPECT_EQ(dots[s], ReferenceSum(x[s], y, n, false)) << n;
            EXPECT_EQ(distances[s], ReferenceSum(x[s], y, n, true)) << n;
            EXPECT_EQ(DotDouble(x[s], y, n), dots[s]) << n;
            EXPECT_EQ(SquaredDistanceDouble(x[s], y, n), distances[s]) << n;
        }
    }
}

// Random matrices, dense and with half the pairs already zero (left alone by
// every sweep), across the order where the solver starts its second thread.
class JacobiBitIdentityTest : public ::testing::TestWithParam<CpuLevel> {};

TEST_P(JacobiBitIdentityTest, EveryOrderAndThreadCountMatchesTheReference) {
    if (GetParam() > SupportedCpuLevel()) GTEST_SKIP() << "this processor lacks it";
    const ScopedCpuLevel cpu(GetParam());
    Workers workers;
    for (int threads : {1, 2}) {
        const ThreadLimit limit(threads);
        for (int n : {5, 63, 64, 150})
            for (bool sparse : {false, true}) {
                MatrixGuard input(RandomSymmetric(n, static_cast<unsigned>(n)));
                if (sparse)
                    for (int j = 0; j < n; ++j)
                        for (int i = j + 1; i < n; i += 2) input->col[j][i] = input->col[i][j] = 0;
                MatrixGuard a(CopyMatrix(input.get())), v(MakeMatrix(n, n)), e(MakeMatrix(n, 1));
                MatrixGuard ra(CopyMatrix(input.get())), rv(MakeMatrix(n, n)), re(MakeMatrix(n, 1));
                JacobiEigen(a.get(), v.get(), e.get(), n, 0.001f, &workers);
                ReferenceJacobi(ra.get(), rv.get(), re.get(), n, 0.001f);
                const auto where = ::testing::Message()
                                   << n << (sparse ? " sparse, " : " dense, ") << threads;
                EXPECT_TRUE(SameBits(e.get(), re.get())) << where;
                EXPECT_TRUE(SameBits(v.get(), rv.get())) << where;
                EXPECT_TRUE(SameBits(a.get(), ra.get())) << where;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kernels, BitIdentityTest,
    ::testing::Combine(::testing::Values(Case{"PCA", Kernel(-1, 1, 0, 2, 0)},
                                         Case{"Linear", Kernel(0, 1, 0, 2, 4)},
                                         Case{"Polynomial", Kernel(1, 4e-4, 1, 3, 2)},
                                         Case{"Rbf", Kernel(2, 6e-4, 0, 2, 8)},
                                         Case{"Sigmoid", Kernel(3, 4e-4, 0.1, 2, 5)}),
                       ::testing::Values(1, 2), ::testing::ValuesIn(levels)),
    [](const auto& test) {
        return std::string(std::get<0>(test.param).name) + "_" +
               std::to_string(std::get<1>(test.param)) + "Threads_" +
               LevelName(std::get<2>(test.param));
    });

const auto levelName = [](const auto& test) { return std::string(LevelName(test.param)); };
INSTANTIATE_TEST_SUITE_P(Levels, SumBitIdentityTest, ::testing::ValuesIn(levels), levelName);
INSTANTIATE_TEST_SUITE_P(Levels, JacobiBitIdentityTest, ::testing::ValuesIn(levels), levelName);

}  // namespace
