// Each identification method on one fixed split of ORL (the even half
// enrolled with five images each, the odd half strangers), as it is and with
// the light of every image changed: rank-1 over the mated probes and FNIR at
// FPIR 10 % against floors the designed method fails. The floors sit a
// little under what the methods reach, so that a change that loses accuracy
// shows.
#include <gtest/gtest.h>

#include "face_data.h"
#include "evaluation.h"
#include "face_dataset.h"
#include "identification.h"
#include "relighting.h"

namespace {

struct Figures {
    double rank1;
    double fnir;
};

struct Floor {
    const char* name;
    morlin::Method method;
    Relight relight;
    Figures floor;  // rank-1 at least, FNIR at most
};

void PrintTo(const Floor& f, std::ostream* out) {
    *out << f.name;
}

Figures Measure(morlin::Method method, Relight relight) {
    FaceDataset dataset;
    std::string error;
    EXPECT_TRUE(LoadFaceDataset(OrlFolder(), 5, dataset, error, OpenSet(OpenSetHalf::Even)))
        << error;
    RelightDataset(dataset, relight);
    morlin::Settings settings;
    settings.method = method;
    const OpenSetSearches searches(SearchesOf(dataset, Evaluate(dataset, settings)));
    return {searches.MatedRank1().value_or(0.0), searches.FnirAtFpir(0.10).value_or(1.0)};
}

class MethodFiguresTest : public ::testing::TestWithParam<Floor> {};

TEST_P(MethodFiguresTest, MeetsItsFloorWhereTheDesignedMethodFails) {
    const Floor& f = GetParam();
    const Figures reached = Measure(f.method, f.relight);
    EXPECT_GE(reached.rank1, f.floor.rank1);
    EXPECT_LE(reached.fnir, f.floor.fnir);
    const Figures designed = Measure(morlin::Method::Designed, f.relight);
    EXPECT_LT(designed.rank1, f.floor.rank1);
    EXPECT_GT(designed.fnir, f.floor.fnir);
}

INSTANTIATE_TEST_SUITE_P(
    Floors, MethodFiguresTest,
    ::testing::Values(
        // Reached: 0.98 / 0.07 and 0.94 / 0.22; the designed method 0.86 / 0.35, 0.63 / 0.87.
        Floor{"LbpDiscriminant", morlin::Method::LbpDiscriminant, Relight::None, {0.95, 0.12}},
        Floor{"LbpDiscriminantRelit", morlin::Method::LbpDiscriminant, Relight::All, {0.90, 0.30}},
        // Reached: 0.91 / 0.30 and 0.71 / 0.52.
        Floor{"Discriminant", morlin::Method::Discriminant, Relight::None, {0.89, 0.33}},
        Floor{"DiscriminantRelit", morlin::Method::Discriminant, Relight::All, {0.68, 0.60}}),
    [](const auto& f) { return std::string(f.param.name); });

TEST(RelightingTest, EachImageChangesTheSameWayEveryRun) {
    std::vector<int> face(12 * 10, 200), again(12 * 10, 200);
    ChangeLight(face, 12, 10, ChangeFor("s3/4.pgm", Relight::Probes));
    ChangeLight(again, 12, 10, ChangeFor("s3/4.pgm", Relight::Probes));
    EXPECT_EQ(face, again);
    EXPECT_NE(face, std::vector<int>(12 * 10, 200));
    std::vector<int> shadowed(12 * 10, 200);
    ChangeLight(shadowed, 12, 10, LightChange::ShadowFromRight);
    EXPECT_EQ(shadowed[0], 30);   // the left edge at 15 %
    EXPECT_EQ(shadowed[9], 200);  // the right edge in full light
    EXPECT_EQ(ChangeFor("s3/4.pgm", Relight::None), LightChange::None);
}

}  // namespace
