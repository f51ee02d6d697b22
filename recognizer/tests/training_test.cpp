// Training: the kernels' formulas, centring, the basis and the coordinates.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "gallery.h"
#include "reference.h"
#include "matrix/matrix.h"
#include "morlin/morlin.h"
#include "recognizer_internals.h"

namespace {

using namespace MatrixSpace;

double ColumnDot(const matrix* m, int i, int j) {
    double s = 0.0;
    for (int t = 0; t < m->rows; ++t) s += double{m->col[i][t]} * m->col[j][t];
    return s;
}

double ColumnSquaredDistance(const matrix* m, int i, int j) {
    double s = 0.0;
    for (int t = 0; t < m->rows; ++t) {
        const double d = double{m->col[i][t]} - m->col[j][t];
        s += d * d;
    }
    return s;
}

class TrainingTest : public ::testing::Test {
protected:
    TrainingTest() : gallery(OrlGallery(4, 1, 3)) {}

    void Train(CNolt_PCARecognition& r, PCAParameter p) {
        r.SetSample(gallery.Pointers(), gallery.Count(), gallery.rows, gallery.columns);
        r.SetPCAPara(p);
        r.Train();
    }

    Gallery gallery;
};

TEST_F(TrainingTest, LinearKernelIsTheDotProductAndCentredSumsVanish) {
    CNolt_PCARecognition r;
    PCAParameter p;
    p.componentNum = 5;
    Train(r, p);
    ASSERT_TRUE(r.IsTrained());
    const int n = r.SampleCount();
    const matrix* k = RecognizerInternals::KernelMatrix(r);
    const matrix* kc = RecognizerInternals::CenteredKernel(r);
    double largest = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            EXPECT_FLOAT_EQ(k->col[j][i],
                            static_cast<float>(ColumnDot(RecognizerInternals::Samples(r), i, j)));
            EXPECT_EQ(k->col[j][i], k->col[i][j]);
            largest = std::max(largest, std::fabs(double{kc->col[j][i]}));
        }
    for (int i = 0; i < n; ++i) {
        double row = 0.0, column = 0.0;
        for (int j = 0; j < n; ++j) {
            row += kc->col[j][i];
            column += kc->col[i][j];
        }
        // The uncentred entries are ~3000: float rounding leaves ~1e-3 per entry.
        EXPECT_NEAR(row, 0.0, 1e-2) << i;
        EXPECT_NEAR(column, 0.0, 1e-2) << i;
    }
    EXPECT_GT(largest, 1.0);
}

TEST_F(TrainingTest, EveryKernelMatchesItsFormula) {
    struct Case {
        int kernel;
        double gamma, coef0, degree;
    };
    for (const Case c :
         {Case{1, 1e-3, 0.5, 2.0}, Case{2, 2e-4, 0.0, 2.0}, Case{3, 1e-4, -0.1, 2.0}}) {
        CNolt_PCARecognition r;
        PCAParameter p;
        p.isKernel = true;
        p.kernelType = c.kernel;
        p.gamma = c.gamma;
        p.coef0 = c.coef0;
        p.degree = c.degree;
        p.componentNum = 4;
        Train(r, p);
        ASSERT_TRUE(r.IsTrained()) << c.kernel;
        const matrix* s = RecognizerInternals::Samples(r);
        for (int i = 0; i < r.SampleCount(); ++i)
            for (int j = i; j < r.SampleCount(); ++j) {
                const double dot = ColumnDot(s, i, j);
                double expected = 0.0;
                if (c.kernel == 1) expected = std::pow(c.gamma * dot + c.coef0, c.degree);
                if (c.kernel == 2) expected = std::exp(-c.gamma * ColumnSquaredDistance(s, i, j));
                if (c.kernel == 3) expected = std::tanh(c.gamma * dot + c.coef0);
                EXPECT_NEAR(RecognizerInternals::KernelMatrix(r)->col[j][i], expected,
                            1e-5 * std::fabs(expected) + 1e-6)
                    << "kernel " << c.kernel << " at " << i << "," << j;
            }
    }
}

TEST_F(TrainingTest, PlainPcaForcesTheLinearKernel) {
    CNolt_PCARecognition r;
    PCAParameter p;
    p.isKernel = false;
    p.kernelType = 2;
    p.componentNum = 3;
    Train(r, p);
    EXPECT_EQ(r.Parameters().kernelType, 0);
    EXPECT_FLOAT_EQ(RecognizerInternals::KernelMatrix(r)->col[1][0],
                    static_cast<float>(ColumnDot(RecognizerInternals::Samples(r), 0, 1)));
}

TEST_F(TrainingTest, UnknownKernelUnderKernelPcaTrainsNothing) {
    CNolt_PCARecognition r;
    PCAParameter p;
    p.isKernel = true;
    p.kernelType = 7;
    Train(r, p);
    EXPECT_FALSE(r.IsTrained());
    EXPECT_TRUE(r.HasSamples());
    EXPECT_FALSE(r.HoldsModel());
}

// The spare last column of the samples belongs to the probe: training neither
// writes it nor reads it.
TEST_F(TrainingTest, ProbeColumnIsNeitherWrittenNorReadByTraining) {
    PCAParameter p;
    p.componentNum = 6;
    CNolt_PCARecognition marked;
    CNolt_PCARecognition clean;
    for (CNolt_PCARecognition* r : {&marked, &clean}) {
        r->SetSample(gallery.Pointers(), gallery.Count(), gallery.rows, gallery.columns);
        r->SetPCAPara(p);
    }
    const int n = marked.SampleCount();
    auto* probeSlot = const_cast<matrix*>(RecognizerInternals::Samples(marked))->col[n];
    std::fill(probeSlot, probeSlot + marked.PixelCount(), 123.0f);
    marked.Train();
    clean.Train();
    for (int t = 0; t < marked.PixelCount(); ++t) ASSERT_EQ(probeSlot[t], 123.0f) << t;
    for (int j = 0; j < n; ++j)
        for (int c = 0; c < 6; ++c)
            ASSERT_EQ(RecognizerInternals::Projections(marked)->col[j][c],
                      RecognizerInternals::Projections(clean)->col[j][c])
                << j << "," << c;
}

TEST_F(TrainingTest, ComponentCountIsClampedToTheGallery) {
    CNolt_PCARecognition r;
    PCAParameter p;  // 30 components by default, 12 images
    Train(r, p);
    ASSERT_TRUE(r.IsTrained());
    EXPECT_EQ(r.ComponentCount(), 12);
    EXPECT_EQ(r.Parameters().componentNum, 30);
    EXPECT_EQ(RecognizerInternals::Eigen(r).eigenvectors->cols, 12);
    EXPECT_EQ(RecognizerInternals::Projections(r)->rows, 12);

    CNolt_PCARecognition low;
    p.componentNum = -3;
    Train(low, p);
    EXPECT_EQ(low.ComponentCount(), 1);
}

TEST_F(TrainingTest, ZeroEigenvalueComponentGetsCoordinateZero) {
    CNolt_PCARecognition r;
    PCAParameter p;
    p.componentNum = gallery.Count();
    Train(r, p);
    const int n = r.SampleCount();
    ASSERT_EQ(r.ComponentCount(), n);
    // Centring removes exactly one dimension from 12 independent faces.
    EXPECT_EQ(RecognizerInternals::UsableComponents(r), n - 1);
    const float* lambda = RecognizerInternals::Eigen(r).eigenvalues->col[0];
    EXPECT_LT(std::fabs(lambda[n - 1]), 1e-5 * std::fabs(lambda[0]));
    for (int j = 0; j < n; ++j) {
        EXPECT_EQ(RecognizerInternals::Projections(r)->col[j][n - 1], 0.0f);
        for (int c = 0; c < n - 1; ++c)
            EXPECT_TRUE(std::isfinite(RecognizerInternals::Projections(r)->col[j][c]));
    }
}

TEST_F(TrainingTest, BasisColumnsHaveUnitLengthAndProjectionsDivideByTheEigenvalue) {
    CNolt_PCARecognition r;
    PCAParameter p;
    p.componentNum = 5;
    Train(r, p);
    const EigenResult& e = RecognizerInternals::Eigen(r);
    const matrix* kc = RecognizerInternals::CenteredKernel(r);
    for (int c = 0; c < 5; ++c) {
        double norm = 0.0;
        for (int k = 0; k < r.SampleCount(); ++k)
            norm += double{e.eigenvectors->col[c][k]} * e.eigenvectors->col[c][k];
        EXPECT_NEAR(norm, 1.0, 1e-5);
        for (int j = 0; j < r.SampleCount(); ++j) {
            double y = 0.0;
            for (int k = 0; k < r.SampleCount(); ++k)
                y += double{e.eigenvectors->col[c][k]} * kc->col[j][k];
            EXPECT_NEAR(RecognizerInternals::Projections(r)->col[j][c],
                        y / e.eigenvalues->col[0][c], 1e-4);
        }
    }
}

TEST_F(TrainingTest, CentredFaceKernelEigenvaluesAgreeWithLapack) {
    Gallery faces = OrlGallery(10, 1, 4);
    CNolt_PCARecognition r;
    r.SetSample(faces.Pointers(), faces.Count(), faces.rows, faces.columns);
    PCAParameter p;
    p.componentNum = faces.Count();
    r.SetPCAPara(p);
    r.Train();
    const int n = r.SampleCount();
    const std::vector<double> w = ReferenceEigenvalues(RecognizerInternals::CenteredKernel(r));
    ASSERT_EQ(w.size(), static_cast<size_t>(n));
    for (int k = 0; k < n - 1; ++k)
        EXPECT_NEAR(RecognizerInternals::Eigen(r).eigenvalues->col[0][k], w[static_cast<size_t>(k)],
                    1e-4 * w[0])
            << k;
}

TEST_F(TrainingTest, StateCycleOfRepeatedTraining) {
    CNolt_PCARecognition r;
    r.Train();  // Empty: nothing happens
    EXPECT_FALSE(r.IsTrained());
    EXPECT_FALSE(r.HasSamples());

    r.SetSample(gallery.Pointers(), gallery.Count(), gallery.rows, gallery.columns);
    r.Train();
    EXPECT_TRUE(r.IsTrained());
    r.Train();  // a second Train in a row empties the recognizer
    EXPECT_FALSE(r.IsTrained());
    EXPECT_FALSE(r.HasSamples());
    EXPECT_EQ(RecognizerInternals::Samples(r), nullptr);

    Gallery second = OrlGallery(2, 1, 2);
    r.SetSample(second.Pointers(), second.Count(), second.rows, second.columns);
    r.Train();
    EXPECT_TRUE(r.IsTrained());
    EXPECT_EQ(r.SampleCount(), 4);
    EXPECT_EQ(RecognizerInternals::KernelMatrix(r)->rows, 4);
}

}  // namespace
