// Recognition of probes: nearest images, the strict threshold, the order of results.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "gallery.h"
#include "matrix/matrix.h"
#include "morlin/morlin.h"
#include "recognizer_internals.h"

namespace {

class RecognitionTest : public ::testing::Test {
protected:
    RecognitionTest() : gallery(OrlGallery(5, 1, 3)), probes(OrlGallery(5, 4, 4)) {}

    void Train(PCAParameter p) {
        recognizer.SetSample(gallery.Pointers(), gallery.Count(), 112, 92);
        recognizer.SetPCAPara(p);
        recognizer.Train();
    }
    std::vector<foundFace> Recognize(Gallery& g, int index) {
        std::vector<foundFace> faces;
        recognizer.Recognition(g.RowPointers(index), 112, 92, faces);
        return faces;
    }
    static PCAParameter Everything(int distance) {
        PCAParameter p;
        p.componentNum = 10;
        p.distanceType = distance;
        p.threshold = std::numeric_limits<double>::infinity();
        return p;
    }

    Gallery gallery;
    Gallery probes;
    CNolt_PCARecognition recognizer;
};

TEST_F(RecognitionTest, NewImagesAreMostlyNearestToTheirPerson) {
    // Ten people with five gallery images each; chance would be one in ten.
    Gallery people = OrlGallery(10, 1, 5);
    Gallery unseen = OrlGallery(10, 6, 7);
    recognizer.SetSample(people.Pointers(), people.Count(), 112, 92);
    PCAParameter p = Everything(2);
    p.componentNum = 30;
    recognizer.SetPCAPara(p);
    recognizer.Train();
    int correct = 0;
    for (int i = 0; i < unseen.Count(); ++i) {
        std::vector<foundFace> faces;
        recognizer.Recognition(unseen.RowPointers(i), 112, 92, faces);
        ASSERT_EQ(faces.size(), 50u);
        correct += faces.front().index / 5 == i / 2 ? 1 : 0;
    }
    EXPECT_GE(correct, 16) << "of 20";
}

TEST_F(RecognitionTest, ThresholdIsStrictAndExistingEntriesAreSortedIn) {
    PCAParameter p = Everything(0);
    Train(p);
    const std::vector<foundFace> all = Recognize(probes, 0);
    ASSERT_GE(all.size(), 3u);
    // A threshold equal to the second distance keeps only the first match.
    p.threshold = all[1].distance;
    Train(p);
    std::vector<foundFace> faces{{100, 2.0 * all.back().distance},
                                 {101, 2.0 * all.back().distance}};
    recognizer.Recognition(probes.RowPointers(0), 112, 92, faces);
    ASSERT_EQ(faces.size(), 3u);
    EXPECT_EQ(faces[0].index, all[0].index);
    // The swap of the new nearest entry with entry 100 reverses the tied pair.
    EXPECT_EQ(faces[1].index, 101);
    EXPECT_EQ(faces[2].index, 100);
}

TEST_F(RecognitionTest, OnlyTheProductOfTheDimensionsIsChecked) {
    Train(Everything(0));
    std::vector<foundFace> reshaped;
    // The same pixels seen as 56 rows of 184 columns.
    std::vector<int*> rows;
    for (int r = 0; r < 56; ++r) rows.push_back(const_cast<int*>(probes.Image(2).data()) + r * 184);
    recognizer.Recognition(rows.data(), 56, 184, reshaped);
    const std::vector<foundFace> direct = Recognize(probes, 2);
    ASSERT_EQ(reshaped.size(), direct.size());
    EXPECT_EQ(reshaped.front().index, direct.front().index);
    EXPECT_DOUBLE_EQ(reshaped.front().distance, direct.front().distance);
}

TEST_F(RecognitionTest, WrongSizeShowsTheMessageAndChangesNothing) {
    Train(Everything(0));
    std::vector<foundFace> faces{{9, 1.5}};
    const float before = RecognizerInternals::Samples(recognizer)->col[recognizer.SampleCount()][0];
    testing::internal::CaptureStderr();
    recognizer.Recognition(probes.RowPointers(0), 111, 92, faces);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "图像大小不对，无法识别\n");
    ASSERT_EQ(faces.size(), 1u);
    EXPECT_EQ(faces[0].index, 9);
    EXPECT_EQ(RecognizerInternals::Samples(recognizer)->col[recognizer.SampleCount()][0], before);
}

TEST_F(RecognitionTest, WithoutAModelNothingIsAdded) {
    std::vector<foundFace> faces{{3, 0.5}};
    recognizer.Recognition(probes.RowPointers(0), 112, 92, faces);  // Empty
    recognizer.SetSample(gallery.Pointers(), gallery.Count(), 112, 92);
    recognizer.Recognition(probes.RowPointers(0), 112, 92, faces);  // Loaded
    ASSERT_EQ(faces.size(), 1u);
    EXPECT_EQ(faces[0].index, 3);
    recognizer.Train();
    recognizer.Train();  // back to Empty
    recognizer.Recognition(probes.RowPointers(0), 112, 92, faces);
    EXPECT_EQ(faces.size(), 1u);
}

TEST_F(RecognitionTest, StaleModelRecognizesWithTheNewMeasure) {
    Train(Everything(0));
    PCAParameter p = Everything(1);
    recognizer.SetPCAPara(p);
    ASSERT_FALSE(recognizer.IsTrained());
    const std::vector<foundFace> stale = Recognize(probes, 1);
    ASSERT_EQ(stale.size(), 15u);
    // Euclidean on the unchanged model: the same as a fresh training with it.
    CNolt_PCARecognition fresh;
    fresh.SetSample(gallery.Pointers(), gallery.Count(), 112, 92);
    fresh.SetPCAPara(p);
    fresh.Train();
    std::vector<foundFace> expected;
    fresh.Recognition(probes.RowPointers(1), 112, 92, expected);
    ASSERT_EQ(expected.size(), stale.size());
    for (size_t i = 0; i < stale.size(); ++i) {
        EXPECT_EQ(stale[i].index, expected[i].index);
        EXPECT_NEAR(stale[i].distance, expected[i].distance, 1e-9);
    }
}

TEST_F(RecognitionTest, LaterRecognitionOverwritesTheProbe) {
    Train(Everything(4));
    const std::vector<foundFace> first = Recognize(probes, 3);
    Recognize(probes, 0);
    const std::vector<foundFace> again = Recognize(probes, 3);
    ASSERT_EQ(first.size(), again.size());
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].index, again[i].index);
        EXPECT_EQ(first[i].distance, again[i].distance);
    }
}

TEST_F(RecognitionTest, WeightsFollowTheLatestTraining) {
    Train(Everything(7));
    Recognize(probes, 0);  // computes MahL1 weights for this model
    Gallery other = OrlGallery(5, 5, 7);
    recognizer.SetSample(other.Pointers(), other.Count(), 112, 92);
    recognizer.Train();
    const std::vector<foundFace> reused = Recognize(probes, 0);
    CNolt_PCARecognition fresh;
    fresh.SetSample(other.Pointers(), other.Count(), 112, 92);
    fresh.SetPCAPara(Everything(7));
    fresh.Train();
    std::vector<foundFace> expected;
    fresh.Recognition(probes.RowPointers(0), 112, 92, expected);
    ASSERT_EQ(reused.size(), expected.size());
    for (size_t i = 0; i < reused.size(); ++i) EXPECT_EQ(reused[i].distance, expected[i].distance);
}

// MahL2 of gallery image index against the last probe, from the public state.
double ExpectedMahL2(const CNolt_PCARecognition& r, int index) {
    const MatrixSpace::matrix* p = RecognizerInternals::Projections(r);
    const float* lambda = RecognizerInternals::Eigen(r).eigenvalues->col[0];
    double sum = 0.0;
    for (int k = 0; k < RecognizerInternals::UsableComponents(r); ++k) {
        const double d = double{p->col[index][k]} - p->col[r.SampleCount()][k];
        sum += d * d * static_cast<float>(1.0 / lambda[k]);
    }
    return std::sqrt(sum);
}

TEST_F(RecognitionTest, TwoRecognizersNeverShareWeights) {
    Train(Everything(8));
    Gallery other = OrlGallery(5, 5, 7);
    CNolt_PCARecognition second;
    second.SetSample(other.Pointers(), other.Count(), 112, 92);
    second.SetPCAPara(Everything(8));
    second.Train();
    // Alternate between the two models: each must use its own eigenvalues.
    for (int round = 0; round < 2; ++round) {
        const std::vector<foundFace> a = Recognize(probes, 2);
        std::vector<foundFace> b;
        second.Recognition(probes.RowPointers(2), 112, 92, b);
        for (const foundFace& f : b)
            EXPECT_NEAR(f.distance, ExpectedMahL2(second, f.index), 1e-6 * f.distance);
        Recognize(probes, 2);
        for (const foundFace& f : a)
            EXPECT_NEAR(f.distance, ExpectedMahL2(recognizer, f.index), 1e-6 * f.distance);
    }
}

// Each measure on its own, named after it.
class MeasureTest : public RecognitionTest, public ::testing::WithParamInterface<int> {};

TEST_P(MeasureTest, GalleryImageFindsItselfFirst) {
    Train(Everything(GetParam()));
    const std::vector<foundFace> faces = Recognize(gallery, 7);
    ASSERT_EQ(faces.size(), 15u);
    EXPECT_EQ(faces.front().index, 7);
    for (size_t i = 1; i < faces.size(); ++i) {
        EXPECT_LE(faces[i - 1].distance, faces[i].distance);
        EXPECT_TRUE(std::isfinite(faces[i].distance));
    }
}

TEST_P(MeasureTest, AllComponentsKeepEveryDistanceFinite) {
    PCAParameter p = Everything(GetParam());
    p.componentNum = gallery.Count();
    Train(p);
    ASSERT_LT(RecognizerInternals::UsableComponents(recognizer), recognizer.ComponentCount());
    EXPECT_EQ(Recognize(probes, 4).size(), 15u);
}

INSTANTIATE_TEST_SUITE_P(Measures, MeasureTest, ::testing::Range(0, distanceMeasureCount),
                         [](const auto& measure) {
                             return std::string(MeasureName(measure.param));
                         });

}  // namespace
