// The recognizer object's states: samples, parameters, training and reset.
#include "plugin/morlin.h"

#include <gtest/gtest.h>

#include "gallery.h"
#include "matrix/matrix.h"

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
    EXPECT_EQ(r.Samples(), nullptr);
    EXPECT_EQ(r.Projections(), nullptr);
}

TEST_F(NoltPcaRecognitionTest, SetSampleStoresEqualizedColumnsAndProbeSlot) {
    CNolt_PCARecognition r;
    Load(r);
    EXPECT_TRUE(r.HasSamples());
    EXPECT_FALSE(r.IsTrained());
    EXPECT_EQ(r.SampleCount(), 6);
    EXPECT_EQ(r.PixelCount(), 20);
    ASSERT_EQ(r.Samples()->rows, 20);
    ASSERT_EQ(r.Samples()->cols, 7);
    ASSERT_EQ(r.KernelMatrix()->rows, 6);
    ASSERT_EQ(r.KernelMatrix()->cols, 6);
    // Column j equals image j equalized on its own.
    CNolt_PCARecognition helper;
    for (int j = 0; j < 6; ++j) {
        MatrixGuard single(MakeMatrix(20, 1));
        for (int i = 0; i < 20; ++i) single->col[0][i] = static_cast<float>(gallery.Image(j)[i]);
        matrix* s = single.get();
        helper.HistEq(s, 0, 0);
        for (int i = 0; i < 20; ++i) {
            EXPECT_EQ(r.Samples()->col[j][i], single->col[0][i]);
            EXPECT_GE(r.Samples()->col[j][i], 0.0f);
            EXPECT_LT(r.Samples()->col[j][i], 1.0f);
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
    EXPECT_EQ(r.Samples()->rows, 4);
    EXPECT_EQ(r.Samples()->cols, 4);
    EXPECT_EQ(r.KernelMatrix()->rows, 3);
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
    ASSERT_NE(r.Projections(), nullptr);
    EXPECT_EQ(r.Projections()->rows, 4);
    EXPECT_EQ(r.Projections()->cols, 7);
}

TEST_F(NoltPcaRecognitionTest, SetPCAParaWhileTrainedKeepsTheModelAndMarksItStale) {
    CNolt_PCARecognition r;
    Load(r);
    PCAParameter p;
    p.componentNum = 3;
    r.SetPCAPara(p);
    r.Train();
    ASSERT_TRUE(r.IsTrained());
    const matrix* projections = r.Projections();
    p.componentNum = 5;
    r.SetPCAPara(p);
    EXPECT_FALSE(r.IsTrained());
    EXPECT_TRUE(r.HasSamples());
    EXPECT_TRUE(r.HoldsModel());
    EXPECT_EQ(r.Parameters().componentNum, 5);
    EXPECT_EQ(r.ComponentCount(), 3);
    EXPECT_EQ(r.Projections(), projections);
    EXPECT_EQ(r.Projections()->rows, 3);
    r.Train();
    EXPECT_TRUE(r.IsTrained());
    EXPECT_EQ(r.ComponentCount(), 5);
    EXPECT_EQ(r.Projections()->rows, 5);
}

TEST_F(NoltPcaRecognitionTest, ResetTrainDiscardsOnlyATrainedModel) {
    CNolt_PCARecognition r;
    Load(r);
    r.ResetTrain();  // Loaded, not trained: the samples stay
    EXPECT_TRUE(r.HasSamples());
    EXPECT_NE(r.Samples(), nullptr);
    r.Train();
    ASSERT_TRUE(r.IsTrained());
    r.ResetTrain();
    EXPECT_FALSE(r.HasSamples());
    EXPECT_FALSE(r.IsTrained());
    EXPECT_EQ(r.Samples(), nullptr);
    EXPECT_EQ(r.KernelMatrix(), nullptr);
    EXPECT_EQ(r.CenteredKernel(), nullptr);
    EXPECT_EQ(r.Projections(), nullptr);
    EXPECT_EQ(r.Eigen().eigenvectors, nullptr);
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
        EXPECT_NE(c->Samples(), original->Samples());
        EXPECT_NE(c->Projections(), original->Projections());
        EXPECT_NE(c->Eigen().eigenvalues, original->Eigen().eigenvalues);
        EXPECT_EQ(c->Projections()->col[2][1], original->Projections()->col[2][1]);
    }
    const float kept = copy.CenteredKernel()->col[1][1];
    original.reset();  // the copies' matrices must outlive it (ASan checks)
    EXPECT_EQ(copy.CenteredKernel()->col[1][1], kept);
    assigned = assigned;
    EXPECT_TRUE(assigned.IsTrained());
}

TEST_F(NoltPcaRecognitionTest, NonsenseShapesAreIgnored) {
    CNolt_PCARecognition r;
    r.SetSample(gallery.Pointers(), -1, 4, 5);
    r.SetSample(nullptr, 3, 4, 5);
    r.SetSample(gallery.Pointers(), 6, 1 << 20, 1 << 20);
    EXPECT_FALSE(r.HasSamples());
    EXPECT_EQ(r.Samples(), nullptr);
}

}  // namespace
