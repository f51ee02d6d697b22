// Calibration at scale beside its definition: on ORL, small enough to leave
// every person out with a training of their own, leaving people out a group
// at a time (the basis kept, the stage learnt again without the group)
// gives stranger scores whose quantiles, and so thresholds, lie close to
// those of the definition.
#include <gtest/gtest.h>

#include <algorithm>

#include "compute/workers.h"
#include "gallery.h"
#include "identifier/calibration.h"
#include "identifier/face_model.h"
#include "scores/stranger_scores.h"
#include "kernel_pca/grey_levels.h"

namespace {

// The score below which share of the sorted scores fall.
double Quantile(std::vector<double> scores, double share) {
    std::sort(scores.begin(), scores.end());
    return scores[static_cast<size_t>(share * static_cast<double>(scores.size() - 1))];
}

struct ScaleCase {
    const char* name;
    morlin::Method method;
    double tolerance;  // of the quantiles, in score units
};

class CalibrationScaleTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(CalibrationScaleTest, GroupsLeftOutScoreAsEachPersonLeftOut) {
    Gallery gallery = OrlGallery(40, 1, 5);
    std::vector<uint8_t> levels;
    std::vector<std::string> names;
    for (int i = 0; i < gallery.Count(); ++i) {
        for (int v : gallery.Image(i)) levels.push_back(GreyLevel(static_cast<float>(v)));
        names.push_back("p" + std::to_string(i / 5));
    }
    morlin::Settings settings;
    settings.method = GetParam().method;
    Workers workers;
    const FaceModel model =
        FaceModel::Train(settings, 112, 92, levels, gallery.Count(), names, workers, {});
    std::vector<std::string> people;
    std::vector<int> personOf;
    IndexPeople(model.basisPeople, people, personOf);

    const StrangerSearches each = EachPersonLeftOut(model, people, personOf, workers, {});
    const StrangerSearches grouped = EachGroupLeftOut(model, people, personOf, {});
    ASSERT_EQ(each.scores.size(), 200u);
    ASSERT_EQ(grouped.scores.size(), 200u);
    EXPECT_DOUBLE_EQ(each.among, 39.0);
    EXPECT_DOUBLE_EQ(grouped.among, 36.0);
    for (double share : {0.05, 0.1, 0.25, 0.5})
        EXPECT_NEAR(Quantile(grouped.scores, share), Quantile(each.scores, share),
                    GetParam().tolerance)
            << "quantile " << share;
}

INSTANTIATE_TEST_SUITE_P(
    Methods, CalibrationScaleTest,
    ::testing::Values(ScaleCase{"LbpDiscriminant", morlin::Method::LbpDiscriminant, 0.05},
                      ScaleCase{"Discriminant", morlin::Method::Discriminant, 0.05}),
    [](const auto& scale) { return std::string(scale.param.name); });

}  // namespace
