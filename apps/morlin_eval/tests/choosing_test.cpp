// Choosing a threshold and parameters from the gallery alone: verification
// figures on hand-made distances, the gallery folds, the search, and the
// command line that asks for them.
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <random>

#include "face_data.h"
#include "folds.h"
#include "parameter_search.h"
#include "run_command.h"
#include "synthetic_faces.h"
#include "verification.h"

namespace {

TEST(VerificationTest, RatesFromHandMadeDistances) {
    const SortedComparisons c(Comparisons{{0.4, 0.1, 0.3, 0.2}, {0.7, 0.25, 0.6, 0.5}});
    // A match needs a distance strictly below the threshold.
    EXPECT_EQ(c.At(0.25).fmr, 0.0);
    EXPECT_EQ(c.At(0.25).fnmr, 0.5);
    EXPECT_EQ(c.At(0.4).fmr, 0.25);
    EXPECT_EQ(c.At(0.4).fnmr, 0.25);
    EXPECT_EQ(c.EqualErrorRate(), 0.25);
    EXPECT_EQ(c.FnmrAtFmr(0.25), 0.0);  // up to 0.5: one impostor below, every genuine
    EXPECT_EQ(c.FnmrAtFmr(0.3), 0.0);
    EXPECT_FALSE(c.FnmrAtFmr(0.1));  // four impostors cannot resolve 10 %
    // The order statistic at 0.5 * (4 + 1) = 2.5: halfway from 0.5 to 0.6.
    EXPECT_DOUBLE_EQ(*c.ThresholdForFmr(0.5), 0.55);
    EXPECT_FALSE(c.ThresholdForFmr(0.1));  // position 0.5: before the first impostor
    EXPECT_FALSE(SortedComparisons(Comparisons{{}, {1.0}}).EqualErrorRate());
    EXPECT_FALSE(SortedComparisons(Comparisons{{}, {1.0}}).At(2.0).fnmr);
}

TEST(GalleryFoldsTest, EachGalleryImageIsHeldOutOnceAndNoProbeTakesPart) {
    FaceDataset dataset = Synthetic(4, 3, 2, 1);
    const std::vector<Fold> folds = GalleryFolds(dataset);
    ASSERT_EQ(folds.size(), 3u);
    std::vector<int> heldCount(dataset.gallery.size(), 0);
    for (const Fold& fold : folds) {
        EXPECT_EQ(fold.training.size(), 8u);
        for (int i : fold.heldOut) ++heldCount[static_cast<size_t>(i)];
    }
    EXPECT_EQ(heldCount, std::vector<int>(12, 1));
    EXPECT_TRUE(GalleryFolds(Synthetic(4, 1, 2, 1)).empty());

    // The probes change nothing: the same folds without them give the same
    // distances to the last bit.
    FaceDataset noProbes = dataset;
    noProbes.probes.clear();
    PCAParameter param;
    param.componentNum = 5;
    const CrossValidation with = CrossValidate(dataset, folds, DesignedSettings(param));
    const CrossValidation without = CrossValidate(noProbes, folds, DesignedSettings(param));
    EXPECT_EQ(with.comparisons.genuine, without.comparisons.genuine);
    EXPECT_EQ(with.comparisons.impostor, without.comparisons.impostor);
    EXPECT_EQ(with.comparisons.genuine.size(), 4u * 3u * 2u);
}

TEST(ParameterSearchTest, ScoresMatchTheRecognizerAndTiesGoToTheSimplest) {
    FaceDataset dataset = Synthetic(5, 4, 1, 7);
    const std::vector<Fold> folds = GalleryFolds(dataset);
    const SearchResult result = SearchParameters(dataset, folds, SearchGoal::Rank1, 0.05, {});
    ASSERT_EQ(result.top.size(), 5u);
    // Faces this distinct are told apart by every setting: the tie rules pick
    // the fewest components, plain PCA and the first measure.
    EXPECT_EQ(result.chosen.meanRank1, 1.0);
    EXPECT_FALSE(result.chosen.param.isKernel);
    EXPECT_EQ(result.chosen.param.componentNum, 10);
    EXPECT_EQ(result.chosen.param.distanceType, 0);
    // The reused coordinates score each setting as the recognizer itself does.
    for (const SearchScore& score : result.top)
        EXPECT_EQ(score.foldRank1,
                  CrossValidate(dataset, folds, DesignedSettings(score.param)).foldRank1)
            << DescribeSetting(score.param);
}

// --name=value and --name value, negative numbers included.
TEST(MorlinEvalCommandLineTest, LongOptionsTakeTheirValueEitherWay) {
    const std::string eval = MORLIN_EVAL_PATH;
    const std::string orl = OrlFolder();
    for (const std::string form :
         {"--threshold=-0.3 --components=4", "--threshold -0.3 --components 4"}) {
        const CommandResult r =
            RunCommand(eval + " --json --train 2 " + form + " " + orl + " 2>&1");
        ASSERT_EQ(r.status, 0) << r.out;
        const QJsonObject params =
            QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object()["params"].toObject();
        EXPECT_EQ(params["threshold"].toDouble(), -0.3) << form;
        EXPECT_EQ(params["components"].toInt(), 4) << form;
    }
    EXPECT_EQ(RunCommand(eval + " --version").out, "morlin-eval 1.0.0.1\n");
    const CommandResult help = RunCommand(eval + " --help");
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--open-set", "--calibrate-fpir", "--search", "Exit status"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    EXPECT_EQ(RunCommand(eval + " --calibrate=2 " + orl + " 2>&1").status, 2);
    EXPECT_EQ(RunCommand(eval + " --no-such-option " + orl + " 2>&1").status, 2);
}

}  // namespace
