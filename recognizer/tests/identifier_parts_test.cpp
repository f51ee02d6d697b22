// The identifier's parts on their own: the designed method's basis is the
// designed recognizer's, bit for bit; local binary patterns count what they
// should; the discriminant stage and the person scores give the answers a
// hand-made gallery makes plain.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "compute/workers.h"
#include "gallery.h"
#include "identifier/discriminant.h"
#include "identifier/face_features.h"
#include "identifier/face_model.h"
#include "identifier/person_scores.h"
#include "kernel_pca/grey_levels.h"
#include "matrix/matrix.h"
#include "morlin/morlin.h"
#include "recognizer_internals.h"

namespace {

struct Kernel {
    const char* name;
    PCAParameter param;
};

PCAParameter WithKernel(KernelType type, double gamma, double coef0, int components) {
    PCAParameter p;
    p.isKernel = type != KernelType::Linear;
    p.kernelType = static_cast<int>(type);
    p.gamma = gamma;
    p.coef0 = coef0;
    p.componentNum = components;
    return p;
}

class DesignedBasisTest : public ::testing::TestWithParam<Kernel> {};

// The designed method trains through the same core on the same equalized
// images: every enrolled coordinate is the designed recognizer's, bit for
// bit. A probe's coordinates are too under the polynomial and rbf kernels;
// under the linear one they come from basis images (the same algebra in
// another order) and agree to 1e-5 of their size, and every probe of ORL
// ranks the gallery exactly as the designed recognizer does.
TEST_P(DesignedBasisTest, IsTheDesignedRecognizers) {
    Gallery gallery = OrlGallery(40, 1, 5);
    Gallery probes = OrlGallery(40, 6, 10);
    PCAParameter param = GetParam().param;
    param.threshold = INFINITY;
    CNolt_PCARecognition designed;
    designed.SetSample(gallery.Pointers(), gallery.Count(), 112, 92);
    designed.SetPCAPara(param);
    designed.Train();
    ASSERT_TRUE(designed.IsTrained());

    std::vector<uint8_t> levels;
    std::vector<std::string> names;
    for (int i = 0; i < gallery.Count(); ++i) {
        for (int v : gallery.Image(i)) levels.push_back(GreyLevel(static_cast<float>(v)));
        names.push_back("p" + std::to_string(i / 5));
    }
    morlin::Settings settings;
    settings.method = morlin::Method::Designed;
    settings.designed = param;
    Workers workers;
    const FaceModel model =
        FaceModel::Train(settings, 112, 92, levels, gallery.Count(), names, workers, {});
    const int d = model.Dimensions();
    ASSERT_EQ(d, designed.ComponentCount());
    EXPECT_EQ(model.linear.has_value(), !param.isKernel);
    for (int j = 0; j < gallery.Count(); ++j)
        ASSERT_EQ(std::memcmp(model.signatures.data() + j * d,
                              RecognizerInternals::Projections(designed)->col[j],
                              sizeof(float) * static_cast<size_t>(d)),
                  0)
            << "image " << j;
    for (int p = 0; p < probes.Count(); ++p) {
        std::vector<foundFace> ranked;
        designed.Recognition(probes.RowPointers(p), 112, 92, ranked);
        const float* expected = RecognizerInternals::Projections(designed)->col[gallery.Count()];
        std::vector<uint8_t> probe;
        for (int v : probes.Image(p)) probe.push_back(GreyLevel(static_cast<float>(v)));
        std::vector<float> signature(static_cast<size_t>(d));
        model.Signature(probe.data(), signature.data(), nullptr);
        float size = 0.0f, apart = 0.0f;
        for (int k = 0; k < d; ++k) {
            size = std::max(size, std::fabs(expected[k]));
            apart = std::max(apart, std::fabs(expected[k] - signature[static_cast<size_t>(k)]));
        }
        if (model.linear)
            ASSERT_LE(apart, 1e-5f * size) << "probe " << p;
        else
            ASSERT_EQ(apart, 0.0f) << "probe " << p;
        std::vector<double> distances;
        model.Distances(signature.data(), distances);
        std::vector<int> order(distances.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return distances[static_cast<size_t>(a)] < distances[static_cast<size_t>(b)];
        });
        ASSERT_EQ(order.size(), ranked.size());
        for (size_t r = 0; r < order.size(); ++r)
            ASSERT_EQ(order[r], ranked[r].index) << "probe " << p << ", rank " << r;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kernels, DesignedBasisTest,
    ::testing::Values(Kernel{"Linear", WithKernel(KernelType::Linear, 1.0, 0.0, 30)},
                      Kernel{"Polynomial", WithKernel(KernelType::Polynomial, 4e-4, 1.0, 20)},
                      Kernel{"Rbf", WithKernel(KernelType::Rbf, 5e-4, 0.0, 25)}),
    [](const auto& kernel) { return std::string(kernel.param.name); });

TEST(LocalBinaryPatternTest, CellsCountTheirCodes) {
    const FeatureShape shape = ShapeOf(FeatureKind::LbpHistograms, 112, 92);
    EXPECT_EQ(shape.gridRows, 7);
    EXPECT_EQ(shape.gridColumns, 6);  // cells of about 15.7 x 15
    EXPECT_EQ(shape.length, 7 * 6 * lbpBins);
    EXPECT_EQ(ShapeOf(FeatureKind::LbpHistograms, 2, 40).length, 0);
    // Sizes a model file may claim: features past int are no shape, not an overflow.
    EXPECT_EQ(ShapeOf(FeatureKind::LbpHistograms, 3, 1 << 30).length, 0);
    EXPECT_EQ(ShapeOf(FeatureKind::EqualizedPixels, 1 << 16, 1 << 16).length, 0);
    EXPECT_EQ(ShapeOf(FeatureKind::EqualizedPixels, 0, 5).length, 0);

    // A flat image: every neighbour is as bright as its centre, code 255,
    // the last uniform bin; each cell's histogram has unit length.
    const std::vector<uint8_t> flat(112 * 92, 90);
    std::vector<float> features(static_cast<size_t>(shape.length));
    ExtractFeatures(shape, flat.data(), features.data());
    for (int cell = 0; cell < 42; ++cell)
        for (int bin = 0; bin < lbpBins; ++bin)
            EXPECT_EQ(features[static_cast<size_t>(cell * lbpBins + bin)],
                      bin == lbpBins - 2 ? 1.0f : 0.0f);
    // Any change of light that keeps the order of grey levels (here more
    // contrast and light) keeps every code.
    std::vector<uint8_t> face(112 * 92), brighter(112 * 92);
    const std::vector<int> orl = LoadOrlFace(3, 2);
    for (size_t i = 0; i < face.size(); ++i) {
        face[i] = static_cast<uint8_t>(orl[i] / 2);
        brighter[i] = static_cast<uint8_t>(2 * face[i] + 1);
    }
    std::vector<float> a(features.size()), b(features.size());
    ExtractFeatures(shape, face.data(), a.data());
    ExtractFeatures(shape, brighter.data(), b.data());
    EXPECT_EQ(a, b);
}

// Two people whose faces differ along the first coordinate and scatter along
// the second: the stage keeps the first direction, and a new face of either
// is scored against the other person.
TEST(DiscriminantTest, KeepsTheDirectionThatTellsPeopleApart) {
    const std::vector<float> coordinates = {1,  5, 1,  -5, 1,  0,   // person 0
                                            -1, 5, -1, -5, -1, 0};  // person 1
    const std::vector<int> people = {0, 0, 0, 1, 1, 1};
    const Discriminant stage = Discriminant::Fit(coordinates.data(), 2, 2, 6, people, 2, 1e-3);
    ASSERT_EQ(stage.Dimensions(), 1);
    float left = 0, right = 0, scattered = 0;
    const float a[2] = {1, 0}, b[2] = {-1, 0}, c[2] = {1, 40};
    stage.Apply(a, &left);
    stage.Apply(b, &right);
    stage.Apply(c, &scattered);
    EXPECT_GT(std::fabs(left - right), 1.0f);
    EXPECT_NEAR(scattered, left, 1e-3 * std::fabs(left - right));  // the scatter is ignored

    std::vector<float> gallery(6);
    for (int j = 0; j < 6; ++j)
        stage.Apply(coordinates.data() + 2 * j, &gallery[static_cast<size_t>(j)]);
    const RankedPeople ranked = RankPeople(NearestPerPerson(&left, gallery.data(), 1, people, 2));
    EXPECT_EQ(ranked.best, 0);
    EXPECT_EQ(ranked.second, 1);
    EXPECT_LT(RatioScore(ranked), 0.01);
    EXPECT_THROW(Discriminant::Fit(coordinates.data(), 2, 2, 3, people, 2, 1e-3), morlin::Error);
}

TEST(PersonScoresTest, RatiosCompareTheNearestPersonWithTheNext) {
    const std::vector<int> personOf = {0, 0, 1, 2, 2};
    const PersonDistances nearest = NearestPerPerson({4.0, 2.0, 8.0, NAN, 1.0}, personOf, 4);
    EXPECT_EQ(nearest.nearest, (std::vector<double>{2.0, 8.0, 1.0, INFINITY}));
    EXPECT_EQ(nearest.image, (std::vector<int>{1, 2, 4, -1}));
    EXPECT_EQ(PeopleByDistance(nearest), (std::vector<int>{2, 0, 1}));
    const RankedPeople ranked = RankPeople(nearest);
    EXPECT_EQ(RatioScore(ranked), 0.5);
    EXPECT_EQ(DistanceRatio(0.0, 0.0), 1.0);  // nothing tells them apart
    EXPECT_EQ(DistanceRatio(0.0, 3.0), 0.0);
    EXPECT_EQ(RatioScore(RankPeople(NearestPerPerson({3.0}, {0}, 1)), 6.0), 0.5);
}

}  // namespace
