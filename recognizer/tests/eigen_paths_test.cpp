// The identifier's two ways to its basis beside the designed Jacobi solver:
// LAPACK on the kernel matrix, and, for a linear kernel with more faces than
// features, LAPACK on the features' scatter matrix. Each gives the Jacobi
// path's coordinates up to the sign of each component and rounding, and the
// same nearest face for every ORL probe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "compute/workers.h"
#include "gallery.h"
#include "identifier/basis.h"
#include "kernel_pca/grey_levels.h"

namespace {

// ORL's images first..last of every person, each shrunk by averaging
// shrink x shrink blocks, as the levels a basis trains on.
struct Faces {
    int rows = 0, columns = 0, count = 0;
    std::vector<uint8_t> levels;
};

Faces OrlFaces(int firstImage, int lastImage, int shrink) {
    Gallery gallery = OrlGallery(40, firstImage, lastImage);
    Faces faces;
    faces.rows = 112 / shrink;
    faces.columns = 92 / shrink;
    faces.count = gallery.Count();
    for (int i = 0; i < gallery.Count(); ++i) {
        const std::vector<int>& image = gallery.Image(i);
        for (int r = 0; r < faces.rows; ++r)
            for (int c = 0; c < faces.columns; ++c) {
                int sum = 0;
                for (int y = 0; y < shrink; ++y)
                    for (int x = 0; x < shrink; ++x)
                        sum += image[static_cast<size_t>((r * shrink + y) * 92 + c * shrink + x)];
                faces.levels.push_back(GreyLevel(static_cast<float>(sum) / (shrink * shrink)));
            }
    }
    return faces;
}

Basis Train(const Faces& faces, FeatureKind kind, EigenSolver solver) {
    Workers workers;
    KernelFunction linear;
    linear.type = KernelType::Linear;
    return Basis::Train(kind, faces.rows, faces.columns, faces.levels, faces.count, linear,
                        faces.count, workers, solver);
}

// The index of the training face nearest to each probe, by Euclidean
// distance over the first components coordinates.
std::vector<int> NearestFaces(const Basis& basis, const Faces& probes, int components) {
    const size_t pixels = static_cast<size_t>(probes.rows) * static_cast<size_t>(probes.columns);
    std::vector<float> probe(static_cast<size_t>(basis.Components()));
    std::vector<int> nearest;
    for (int p = 0; p < probes.count; ++p) {
        basis.Project(probes.levels.data() + static_cast<size_t>(p) * pixels, probe.data(),
                      nullptr);
        double best = std::numeric_limits<double>::infinity();
        int at = -1;
        for (int j = 0; j < basis.Faces(); ++j) {
            const float* face = basis.TrainingCoordinates(j);
            double sum = 0.0;
            for (int c = 0; c < components; ++c) {
                const double d = double{face[c]} - probe[static_cast<size_t>(c)];
                sum += d * d;
            }
            if (sum < best) best = sum, at = j;
        }
        nearest.push_back(at);
    }
    return nearest;
}

struct PathCase {
    const char* name;
    FeatureKind kind;
    int shrink;
    Basis::Form form;  // what LAPACK's path holds
};

class EigenPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(EigenPathTest, GivesTheJacobiPathsCoordinatesAndAnswers) {
    const PathCase& path = GetParam();
    const Faces gallery = OrlFaces(1, 5, path.shrink), probes = OrlFaces(6, 10, path.shrink);
    const Basis jacobi = Train(gallery, path.kind, EigenSolver::Jacobi);
    const Basis lapack = Train(gallery, path.kind, EigenSolver::Lapack);
    ASSERT_EQ(lapack.HeldAs(), path.form);
    // The components Jacobi counts as informative, LAPACK too (the last of
    // them may fall either side of the cut by rounding).
    ASSERT_NEAR(lapack.Usable(), jacobi.Usable(), 1);
    // The leading components, whose eigenvalues stand apart: the same
    // coordinates up to sign, to within rounding of float sums.
    constexpr int compared = 30;
    for (int c = 0; c < compared; ++c) {
        EXPECT_NEAR(lapack.Eigenvalues()->col[0][c], jacobi.Eigenvalues()->col[0][c],
                    1e-4 * jacobi.Eigenvalues()->col[0][0])
            << "eigenvalue " << c;
        const double sign =
            lapack.TrainingCoordinates(0)[c] * jacobi.TrainingCoordinates(0)[c] < 0 ? -1.0 : 1.0;
        double size = 0.0, apart = 0.0;
        for (int j = 0; j < gallery.count; ++j) {
            size = std::max(size, std::fabs(double{jacobi.TrainingCoordinates(j)[c]}));
            apart = std::max(apart, std::fabs(jacobi.TrainingCoordinates(j)[c] -
                                              sign * lapack.TrainingCoordinates(j)[c]));
        }
        EXPECT_LE(apart, 2e-3 * size) << "component " << c;
    }
    // Every probe's nearest training face, over every informative component.
    const int components = std::min(jacobi.Usable(), lapack.Usable());
    EXPECT_EQ(NearestFaces(lapack, probes, components), NearestFaces(jacobi, probes, components));
}

INSTANTIATE_TEST_SUITE_P(
    Orl, EigenPathTest,
    ::testing::Values(
        // 200 faces, 2,478 features: the kernel matrix is the smaller.
        PathCase{"LbpKernelMatrix", FeatureKind::LbpHistograms, 1, Basis::Form::Kernel},
        // 200 faces of 14 x 11 pixels, 154 features: the scatter matrix is.
        PathCase{"PixelsScatterMatrix", FeatureKind::EqualizedPixels, 8, Basis::Form::Scatter}),
    [](const auto& path) { return std::string(path.param.name); });

}  // namespace
