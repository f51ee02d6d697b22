// The recognizer object's states: samples, parameters, training and reset.
#include "morlin/morlin.h"

#include <gtest/gtest.h>

#include "gallery.h"
#include "matrix/matrix.h"
#include "recognizer_internals.h"

namespace {

using namespace MatrixSpace;

class NoltPcaRecognitionTest : public ::testing::Test {
protected:
    NoltPcaRecognitionTest() : gallery(RandomGallery(6, 4, 5, 7)) {}

    void Load(CNolt_PCARecognition& r) {
        r.SetSample(gallery.Pointers(), gallery.Count(), gallery.rows, gallery.columns);
    }

    Gallery gallery;
};

TEST_F(NoltPcaRecognitionTest, StartsEmptyWithDefaultParameters) {
    CNolt_PCARecognition r;
    const PCAParameter& p = r.Parameters();
    EXPECT_FALSE(p.isKernel);
    EXPECT_EQ(p.componentNum, 30);
    EXPECT_EQ(p.distanceType, 0);
    EXPECT_EQ(p.kernelType, 0);
    EXPECT_EQ(p.gamma, 1.0);
    EXPECT_EQ(p.coef0, 0.0);
    EXPECT_EQ(p.degree, 2.0);
    EXPECT_EQ(p.threshold, 3.0);
    EXPECT_FALSE(r.HasSamples());
    EXPECT_FALSE(r.IsTrained());
    EXPECT_EQ(r.SampleCount(), 0);
    EXPECT_EQ(RecognizerInternals::Samples(r), nullptr);
    EXPECT_EQ(RecognizerInternals::Projections(r), nullptr);
}

TEST_F(NoltPcaRecognitionTest, SetSampleStoresEqualizedColumnsAndProbeSlot) {
    CNolt_PCARecognition r;
    Load(r);
    EXPECT_TRUE(r.HasSamples());
    EXPECT_FALSE(r.IsTrained());
    EXPECT_EQ(r.SampleCount(), 6);
    EXPECT_EQ(r.PixelCount(), 20);
    ASSERT_EQ(RecognizerInternals::Samples(r)->rows, 20);
    ASSERT_EQ(RecognizerInternals::Samples(r)->cols, 7);
    ASSERT_EQ(RecognizerInternals::KernelMatrix(r)->rows, 6);
    ASSERT_EQ(RecognizerInternals::KernelMatrix(r)->cols, 6);
    // Column j equals image j equalized on its own.
    CNolt_PCARecognition helper;
    for (int j = 0; j < 6; ++j) {
        MatrixGuard single(MakeMatrix(20, 1));
        for (int i = 0; i < 20; ++i) single->col[0][i] = static_cast<float>(gallery.Image(j)[i]);
        matrix* s = single.get();
        helper.HistEq(s, 0, 0);
        for (int i = 0; i < 20; ++i) {
            EXPECT_EQ(RecognizerInternals::Samples(r)->col[j][i], single->col[0][i]);
            EXPECT_GE(RecognizerInternals::Samples(r)->col[j][i], 0.0f);
            EXPECT_LT(RecognizerInternals::Samples(r)->col[j][i], 1.0f);
        }
    }
}

TEST_F(NoltPcaRecognitionTest, SecondSetSampleReplacesTheGallery) {
    CNolt_PCARecognition r;
    Load(r);
    Gallery other = RandomGallery(3, 2, 2, 99);
    r.SetSample(other.Pointers(), 3, 2, 2);
    EXPECT_TRUE(r.HasSamples());
    EXPECT_FALSE(r.IsTrained());
    EXPECT_EQ(r.SampleCount(), 3);
    EXPECT_EQ(RecognizerInternals::Samples(r)->rows, 4);
    EXPECT_EQ(RecognizerInternals::Samples(r)->cols, 4);
    EXPECT_EQ(RecognizerInternals::KernelMatrix(r)->rows, 3);
}

TEST_F(NoltPcaRecognitionTest, SetPCAParaWithoutModelSizesProjections) {
    CNolt_PCARecognition r;
    Load(r);
    PCAParameter p;
    p.componentNum = 4;
    p.distanceType = 7;
    r.SetPCAPara(p);
    EXPECT_EQ(r.Parameters().distanceType, 7);
    EXPECT_EQ(r.ComponentCount(), 4);
    ASSERT_NE(RecognizerInternals::Projections(r), nullptr);
    EXPECT_EQ(RecognizerInternals::Projections(r)->rows, 4);
    EXPECT_EQ(RecognizerInternals::Projections(r)->cols, 7);
}

TEST_F(NoltPcaRecognitionTest, SetPCAParaWhileTrainedKeepsTheModelAndMarksItStale) {
    CNolt_PCARecognition r;
    Load(r);
    PCAParameter p;
    p.componentNum = 3;
    r.SetPCAPara(p);
    r.Train();
    ASSERT_TRUE(r.IsTrained());
    const matrix* projections = RecognizerInternals::Projections(r);
    p.componentNum = 5;
    r.SetPCAPara(p);
    EXPECT_FALSE(r.IsTrained());
    EXPECT_TRUE(r.HasSamples());
    EXPECT_TRUE(r.HoldsModel());
    EXPECT_EQ(r.Parameters().componentNum, 5);
    EXPECT_EQ(r.ComponentCount(), 3);
    EXPECT_EQ(RecognizerInternals::Projections(r), projections);
    EXPECT_EQ(RecognizerInternals::Projections(r)->rows, 3);
    r.Train();
    EXPECT_TRUE(r.IsTrained());
    EXPECT_EQ(r.ComponentCount(), 5);
    EXPECT_EQ(RecognizerInternals::Projections(r)->rows, 5);
}

TEST_F(NoltPcaRecognitionTest, ResetTrainDiscardsOnlyATrainedModel) {
    CNolt_PCARecognition r;
    Load(r);
    r.ResetTrain();  // Loaded, not trained: the samples stay
    EXPECT_TRUE(r.HasSamples());
    EXPECT_NE(RecognizerInternals::Samples(r), nullptr);
    r.Train();
    ASSERT_TRUE(r.IsTrained());
    r.ResetTrain();
    EXPECT_FALSE(r.HasSamples());
    EXPECT_FALSE(r.IsTrained());
    EXPECT_EQ(RecognizerInternals::Samples(r), nullptr);
    EXPECT_EQ(RecognizerInternals::KernelMatrix(r), nullptr);
    EXPECT_EQ(RecognizerInternals::CenteredKernel(r), nullptr);
    EXPECT_EQ(RecognizerInternals::Projections(r), nullptr);
    EXPECT_EQ(RecognizerInternals::Eigen(r).eigenvectors, nullptr);
}

TEST_F(NoltPcaRecognitionTest, CopiesOwnTheirMatrices) {
    auto original = std::make_unique<CNolt_PCARecognition>();
    Load(*original);
    original->Train();
    CNolt_PCARecognition copy(*original);
    CNolt_PCARecognition assigned;
    Load(assigned);
    assigned = *original;
    for (const CNolt_PCARecognition* c : {&copy, &assigned}) {
        EXPECT_TRUE(c->IsTrained());
        EXPECT_NE(RecognizerInternals::Samples(*c), RecognizerInternals::Samples(*original));
        EXPECT_NE(RecognizerInternals::Projections(*c),
                  RecognizerInternals::Projections(*original));
        EXPECT_NE(RecognizerInternals::Eigen(*c).eigenvalues,
                  RecognizerInternals::Eigen(*original).eigenvalues);
        EXPECT_EQ(RecognizerInternals::Projections(*c)->col[2][1],
                  RecognizerInternals::Projections(*original)->col[2][1]);
    }
    const float kept = RecognizerInternals::CenteredKernel(copy)->col[1][1];
    original.reset();  // the copies' matrices must outlive it (ASan checks)
    EXPECT_EQ(RecognizerInternals::CenteredKernel(copy)->col[1][1], kept);
    assigned = assigned;
    EXPECT_TRUE(assigned.IsTrained());
}

TEST_F(NoltPcaRecognitionTest, NonsenseShapesAreIgnored) {
    CNolt_PCARecognition r;
    r.SetSample(gallery.Pointers(), -1, 4, 5);
    r.SetSample(nullptr, 3, 4, 5);
    r.SetSample(gallery.Pointers(), 6, 1 << 20, 1 << 20);
    EXPECT_FALSE(r.HasSamples());
    EXPECT_EQ(RecognizerInternals::Samples(r), nullptr);
}

}  // namespace
