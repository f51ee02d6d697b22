// Open-set identification: who an open-set split enrols and what is mated,
// the FPIR and FNIR of hand-made searches, a threshold calibrated from the
// gallery alone that holds on strangers it never saw.
#include <QImage>

#include <gtest/gtest.h>

#include "calibration.h"
#include "evaluation.h"
#include "identification.h"
#include "synthetic_faces.h"
#include "temp_folder.h"

namespace {

TEST(OpenSetSplitTest, EveryOtherPersonIsEnrolledAndTheOthersAreStrangers) {
    TempFolder folder;
    QImage face(4, 4, QImage::Format_Grayscale8);
    for (const char* person : {"s1", "s2", "s3", "s10"})
        for (int k = 1; k <= 3; ++k) {
            face.fill(k * 40);
            const std::filesystem::path file =
                folder.Write(std::string(person) + "/" + std::to_string(k) + ".pgm", "");
            ASSERT_TRUE(face.save(QString::fromStdString(file.string()), "PGM"));
        }
    for (const auto& [half, enrolled, strangers] :
         {std::tuple{OpenSetHalf::Even, std::vector<std::string>{"s1", "s3"},
                     std::vector<std::string>{"s2", "s10"}},
          std::tuple{OpenSetHalf::Odd, std::vector<std::string>{"s2", "s10"},
                     std::vector<std::string>{"s1", "s3"}}}) {
        FaceDataset dataset;
        std::string error;
        ASSERT_TRUE(LoadFaceDataset(folder.Path().string(), 2, dataset, error, half)) << error;
        EXPECT_EQ(dataset.enrolled, enrolled);
        ASSERT_EQ(dataset.gallery.size(), 4u);
        EXPECT_EQ(dataset.gallery[2].file, enrolled[1] + "/1.pgm");
        // The enrolled people's third image (mated), then every stranger's image.
        ASSERT_EQ(dataset.probes.size(), 2u + 6u);
        EXPECT_EQ(dataset.probes[0].file, enrolled[0] + "/3.pgm");
        EXPECT_TRUE(dataset.IsEnrolled(dataset.probes[1].person));
        for (size_t i = 2; i < dataset.probes.size(); ++i) {
            EXPECT_FALSE(dataset.IsEnrolled(dataset.probes[i].person));
            EXPECT_EQ(dataset.probes[i].person, strangers[(i - 2) / 3]);
        }
    }
}

TEST(OpenSetSearchesTest, RatesFromHandMadeSearches) {
    // Mated: named right at 0.1 and 0.3, misnamed at 0.2; strangers at 0.15, 0.4, 0.5, 0.6.
    const OpenSetSearches s({{0.1, true, true},
                             {0.3, true, true},
                             {0.2, true, false},
                             {0.15, false, false},
                             {0.4, false, false},
                             {0.5, false, false},
                             {0.6, false, false}});
    EXPECT_EQ(s.Mated(), 3u);
    EXPECT_EQ(s.NonMated(), 4u);
    EXPECT_DOUBLE_EQ(*s.MatedRank1(), 2.0 / 3.0);
    // Below 0.3: one stranger named, the 0.3 mate not yet; a misnamed mate
    // stays a miss at any threshold.
    EXPECT_DOUBLE_EQ(*s.At(0.3).fpir, 0.25);
    EXPECT_DOUBLE_EQ(*s.At(0.3).fnir, 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(*s.At(1.0).fnir, 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(*s.FnirAtFpir(0.25), 1.0 / 3.0);  // up to 0.4: both right mates named
    EXPECT_FALSE(s.FnirAtFpir(0.1));                   // four strangers cannot resolve 10 %
    EXPECT_FALSE(OpenSetSearches({{0.1, true, true}}).At(1.0).fpir);
}

// Clusters well apart with known noise: thresholds chosen from the gallery
// alone name about the target share of strangers it never saw (FPIR), and
// let about the target share of the probes' impostor comparisons match (FMR).
TEST(CalibrationTest, ThresholdsFromTheGalleryHoldOnUnseenProbes) {
    FaceDataset dataset = Synthetic(40, 4, 1, 3, 60, 5, 12, 10, 120);
    PCAParameter param;
    param.componentNum = 20;
    const auto expectNear = [](double achieved, double target) {
        EXPECT_GE(achieved, target / 2) << achieved;
        EXPECT_LE(achieved, target * 2) << achieved;
    };

    const FpirCalibration fpir = CalibrateFpir(dataset, DesignedSettings(param), 0.1);
    ASSERT_TRUE(fpir.threshold) << fpir.note;
    EXPECT_EQ(fpir.strangerSearches, 160u);
    EXPECT_EQ(fpir.matedSearches, 160u);
    param.threshold = *fpir.threshold;
    const OpenSetSearches searches(SearchesOf(dataset, Evaluate(dataset, DesignedSettings(param))));
    ASSERT_EQ(searches.NonMated(), 300u);
    expectNear(*searches.At(param.threshold).fpir, 0.1);

    const FmrCalibration fmr = CalibrateFmr(dataset, DesignedSettings(param), 0.01);
    ASSERT_TRUE(fmr.threshold) << fmr.note;
    EXPECT_EQ(fmr.impostors, 40u * 4u * 39u * 4u);  // each person's images, the others'
    param.threshold = *fmr.threshold;
    const SortedComparisons probes(
        ProbeComparisons(dataset, Evaluate(dataset, DesignedSettings(param))));
    expectNear(*probes.At(param.threshold).fmr, 0.01);
}

TEST(CalibrationTest, TooFewStrangersToResolveTheTargetSaySo) {
    FaceDataset dataset = Synthetic(3, 2, 1, 5);
    const FpirCalibration calibration =
        CalibrateFpir(dataset, DesignedSettings(PCAParameter{}), 0.01);
    // The nearest threshold the searches allow, and how rough it is.
    EXPECT_TRUE(calibration.threshold);
    EXPECT_NE(calibration.note.find("6 stranger searches"), std::string::npos) << calibration.note;
    EXPECT_NE(calibration.note.find("too few to resolve"), std::string::npos) << calibration.note;
}

}  // namespace
