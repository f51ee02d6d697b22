// The recognizer's faster training and recognition give the same bits as the
// straightforward computation they replace, kept here as the reference: the
// kernel matrix one value at a time, centring by full products with the n x n
// matrix Q, recognition with the same products for every probe. Checked for
// every kernel, on ORL faces and on random images, on one thread and on two.
#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>

#include "distance/distance_weights.h"
#include "distance/measure_distance.h"
#include "eigen/eigen_decomposition.h"
#include "gallery.h"
#include "kpca/projection.h"
#include "kpca/vector_sums.h"
#include "matrix/matrix.h"
#include "plugin/morlin.h"

namespace {

using namespace MatrixSpace;

// The designed kernels, as the recognizer evaluates them.
float ReferenceKernel(const matrix* m, int i, int j, const PCAParameter& p, int pixels) {
    const auto dot = [&] { return static_cast<float>(DotDouble(m->col[i], m->col[j], pixels)); };
    const float g = static_cast<float>(p.gamma);
    const float c = static_cast<float>(p.coef0);
    switch (p.isKernel ? p.kernelType : 0) {
        case 1:
            return static_cast<float>(
                std::pow(double{g * dot() + c}, double{static_cast<float>(p.degree)}));
        case 2:
            return static_cast<float>(
                std::exp(-p.gamma * SquaredDistanceDouble(m->col[i], m->col[j], pixels)));
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
                kernel->col[j][i] =
                    ReferenceKernel(r.Samples(), std::min(i, j), std::max(i, j), p, r.PixelCount());
        MatrixGuard q(Constant(n, n, static_cast<float>(-1.0 / n)));
        MatrixGuard r1(MultiplyMatrix(q.get(), kernel.get()));
        MatrixGuard r2(MultiplyMatrix(kernel.get(), q.get()));
        MatrixGuard r3(MultiplyMatrix(r1.get(), q.get()));
        centred = MatrixGuard(AddMatrix(kernel.get(), r1.get()));
        AddToMatrix(centred.get(), r2.get());
        AddToMatrix(centred.get(), r3.get());

        MatrixGuard scratch(CopyMatrix(centred.get()));
        EigenDecomposition decomposition;
        decomposition.Decompose(scratch.get(), r.ComponentCount());
        EigenResult result;
        decomposition.GetResult(result);
        vectors = MatrixGuard(result.eigenvectors);
        values = MatrixGuard(result.eigenvalues);
        for (int c = 0; c < vectors->cols; ++c) {
            double sum = 0.0;
            for (int k = 0; k < n; ++k) sum += double{vectors->col[c][k]} * vectors->col[c][k];
            const float norm = static_cast<float>(std::sqrt(sum));
            if (norm != 0.0f)
                for (int k = 0; k < n; ++k) vectors->col[c][k] = vectors->col[c][k] / norm;
        }
        usable = r.UsableComponents();
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
            k->col[0][i] = ReferenceKernel(r.Samples(), i, n, p, r.PixelCount());
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

class BitIdentityTest : public ::testing::TestWithParam<std::tuple<Case, int>> {};

TEST_P(BitIdentityTest, TrainingAndRecognitionMatchTheReference) {
    const auto& [c, threads] = GetParam();
    omp_set_num_threads(threads);
    for (bool faces : {true, false}) {
        Gallery gallery = faces ? OrlGallery(12, 1, 4) : RandomGallery(48, 112, 92, 5);
        Gallery probe = faces ? OrlGallery(1, 9, 9) : RandomGallery(1, 112, 92, 6);
        CNolt_PCARecognition r;
        r.SetSample(gallery.Pointers(), gallery.Count(), 112, 92);
        r.SetPCAPara(c.param);
        r.Train();
        ASSERT_TRUE(r.IsTrained());
        Reference reference(r);
        EXPECT_TRUE(SameBits(r.KernelMatrix(), reference.kernel.get())) << faces;
        EXPECT_TRUE(SameBits(r.CenteredKernel(), reference.centred.get())) << faces;
        EXPECT_TRUE(SameBits(r.Eigen().eigenvalues, reference.values.get())) << faces;
        EXPECT_TRUE(SameBits(r.Eigen().eigenvectors, reference.vectors.get())) << faces;
        for (int j = 0; j < r.SampleCount(); ++j)
            ASSERT_EQ(std::memcmp(r.Projections()->col[j], reference.coordinates->col[j],
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
    omp_set_num_threads(2);
}

INSTANTIATE_TEST_SUITE_P(
    Kernels, BitIdentityTest,
    ::testing::Combine(::testing::Values(Case{"PCA", Kernel(-1, 1, 0, 2, 0)},
                                         Case{"Linear", Kernel(0, 1, 0, 2, 4)},
                                         Case{"Polynomial", Kernel(1, 4e-4, 1, 3, 2)},
                                         Case{"Rbf", Kernel(2, 6e-4, 0, 2, 8)},
                                         Case{"Sigmoid", Kernel(3, 4e-4, 0.1, 2, 5)}),
                       ::testing::Values(1, 2)),
    [](const auto& test) {
        return std::string(std::get<0>(test.param).name) + "_" +
               std::to_string(std::get<1>(test.param)) + "Threads";
    });

}  // namespace
