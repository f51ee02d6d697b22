// The module under input a careless or hostile host may pass: no crash, no
// abort, and no model that accepts anybody. Through the library itself: the
// exports looked up with dlopen, and the exported class for what only it
// offers (parameters). This host has no QApplication, so the recognizer's
// messages arrive on standard error.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <limits>

#include "gallery.h"
#include "library_exports.h"
#include "morlin/morlin.h"

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

using Exports = LibraryExports;

// A trained module: 6 random 8 x 6 images.
class HostileProbeTest : public ::testing::Test {
protected:
    HostileProbeTest() : gallery(RandomGallery(6, 8, 6, 11)) {
        module.SetSample(gallery.Pointers(), 6, 8, 6);
        module.Train();
        std::vector<foundFace> faces;
        module.Recognize(gallery.RowPointers(1), 8, 6, faces);
        EXPECT_FALSE(faces.empty()) << "the module must recognize before the hostile call";
    }
    ~HostileProbeTest() override { module.Train(); }  // a second Train empties it

    Exports module;
    Gallery gallery;
};

TEST_F(HostileProbeTest, NegativeSizesAreRefusedAndANullProbeIgnored) {
    std::vector<foundFace> faces;
    CaptureStderr();
    module.Recognize(gallery.RowPointers(1), -8, -6, faces);
    EXPECT_NE(GetCapturedStderr().find("图像大小不对"), std::string::npos);
    module.Recognize(nullptr, 8, 6, faces);
    int* nullRows[8] = {};
    module.Recognize(nullRows, 8, 6, faces);
    EXPECT_TRUE(faces.empty());
}

TEST_F(HostileProbeTest, GalleryTooBigForMemoryIsRefusedAndTheOldOneStays) {
    // 200,000 one-pixel images: a kernel matrix of 160 GB.
    std::vector<int> pixel{128};
    std::vector<int*> images(200000, pixel.data());
    CaptureStderr();
    module.SetSample(images.data(), 200000, 1, 1);
    const std::string said = GetCapturedStderr();
    EXPECT_NE(said.find("Matrix Size: 200000 X 200000"), std::string::npos) << said;
    EXPECT_NE(said.find("内存不足"), std::string::npos) << said;
    EXPECT_NE(said.find("MB"), std::string::npos) << said;
    // A count whose spare probe column would overflow is refused outright.
    module.SetSample(images.data(), INT_MAX, 1, 1);

    std::vector<foundFace> faces;
    module.Recognize(gallery.RowPointers(1), 8, 6, faces);
    ASSERT_FALSE(faces.empty());
    EXPECT_EQ(faces.front().index, 1);
}

TEST(HostileParameterTest, HugeComponentCountsAreClampedToTheGallery) {
    Gallery gallery = RandomGallery(5, 4, 4, 2);
    for (int huge : {1000000000, INT_MAX}) {
        CNolt_PCARecognition recognizer;
        recognizer.SetSample(gallery.Pointers(), 5, 4, 4);
        PCAParameter p;
        p.componentNum = huge;
        recognizer.SetPCAPara(p);
        EXPECT_EQ(recognizer.ComponentCount(), 5);
        recognizer.Train();
        EXPECT_TRUE(recognizer.IsTrained());
        EXPECT_EQ(recognizer.Parameters().componentNum, huge);
    }
}

// A gallery and parameters that leave nothing to tell images apart.
struct EmptyModelCase {
    const char* name;
    std::function<Gallery()> gallery;
    PCAParameter param;
};

PCAParameter Kernel(int type, double gamma, double coef0 = 0.0, double degree = 2.0) {
    PCAParameter p;
    p.isKernel = true;
    p.kernelType = type;
    p.gamma = gamma;
    p.coef0 = coef0;
    p.degree = degree;
    return p;
}

Gallery Copies(std::vector<int> image, int count, int rows, int columns) {
    Gallery gallery(rows, columns);
    for (int i = 0; i < count; ++i) gallery.Add(image);
    return gallery;
}

class EmptyModelTest : public ::testing::TestWithParam<EmptyModelCase> {};

TEST_P(EmptyModelTest, TrainsNoModelAndRecognizesNobody) {
    const EmptyModelCase& c = GetParam();
    Gallery gallery = c.gallery();
    CNolt_PCARecognition recognizer;
    recognizer.SetSample(gallery.Pointers(), gallery.Count(), gallery.rows, gallery.columns);
    recognizer.SetPCAPara(c.param);
    CaptureStderr();
    recognizer.Train();
    EXPECT_NE(GetCapturedStderr().find("未训练"), std::string::npos);
    EXPECT_FALSE(recognizer.IsTrained());
    EXPECT_FALSE(recognizer.HoldsModel());
    std::vector<foundFace> faces;
    if (gallery.Count() > 0 && gallery.rows > 0)
        recognizer.Recognition(gallery.RowPointers(0), gallery.rows, gallery.columns, faces);
    EXPECT_TRUE(faces.empty());
}

const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();
Gallery Random() {
    return RandomGallery(6, 8, 6, 5);
}

INSTANTIATE_TEST_SUITE_P(
    Galleries, EmptyModelTest,
    ::testing::Values(
        EmptyModelCase{"OneImage", [] { return RandomGallery(1, 8, 6, 1); }, {}},
        EmptyModelCase{"IdenticalImages",
                       [] { return Copies(RandomGallery(1, 8, 6, 3).Image(0), 7, 8, 6); },
                       {}},
        EmptyModelCase{"FlatImages", [] { return Copies(std::vector<int>(48, 90), 7, 8, 6); }, {}},
        EmptyModelCase{"OnePixelImages", [] { return RandomGallery(4, 1, 1, 4); }, {}},
        EmptyModelCase{"ZeroPixelImages", [] { return Copies({}, 4, 0, 6); }, {}},
        EmptyModelCase{"RbfGammaNaN", Random, Kernel(2, nan)},
        EmptyModelCase{"RbfGammaInfinite", Random, Kernel(2, inf)},
        EmptyModelCase{"SigmoidGammaHuge", Random, Kernel(3, 1e30)},
        EmptyModelCase{"SigmoidCoef0Huge", Random, Kernel(3, 1.0, 1e300)},
        EmptyModelCase{"PolyCoef0Huge", Random, Kernel(1, 1.0, 1e300)},
        EmptyModelCase{"PolyDegreeZero", Random, Kernel(1, 1.0, 0.0, 0.0)},
        EmptyModelCase{"PolyDegreeNaN", Random, Kernel(1, 1.0, 0.0, nan)}),
    [](const auto& empty) { return std::string(empty.param.name); });

TEST(HostileParameterTest, UnknownMeasureMatchesNobodyAndSaysSo) {
    Gallery gallery = RandomGallery(6, 8, 6, 9);
    for (int measure : {-1, 10, 1000}) {
        CNolt_PCARecognition recognizer;
        recognizer.SetSample(gallery.Pointers(), 6, 8, 6);
        PCAParameter p;
        p.distanceType = measure;
        recognizer.SetPCAPara(p);
        recognizer.Train();
        std::vector<foundFace> faces;
        CaptureStderr();
        recognizer.Recognition(gallery.RowPointers(2), 8, 6, faces);
        EXPECT_NE(GetCapturedStderr().find(std::to_string(measure)), std::string::npos);
        EXPECT_TRUE(faces.empty()) << measure;
    }
}

}  // namespace
