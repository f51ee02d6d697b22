// A large gallery's search index against exact search: on a made gallery of
// 60,000 signatures (6,000 people, clustered as faces are) the index gives
// exact search's decision for at least 99.5 % of probes (enrolled people and
// strangers alike) and its first candidate for 99 % of enrolled people's, and
// keeps doing so as people are removed and enrolled.
#include <gtest/gtest.h>

#include <random>

#include "identifier/face_model.h"

namespace {

constexpr int dimensions = 32;

struct MadeGallery {
    FaceModel model;
    std::vector<std::vector<float>> centres;
    std::mt19937 random{7};

    std::vector<float> Centre() {
        std::normal_distribution<float> unit;
        std::vector<float> centre(dimensions);
        for (float& v : centre) v = unit(random);
        return centre;
    }
    std::vector<float> Around(const std::vector<float>& centre, int images) {
        std::normal_distribution<float> spread(0.0f, 0.35f);
        std::vector<float> out;
        for (int i = 0; i < images; ++i)
            for (float v : centre) out.push_back(v + spread(random));
        return out;
    }

    explicit MadeGallery(int people) {
        model.settings.method = morlin::Method::LbpDiscriminant;
        // A stage that passes the signatures through: Dimensions() and the
        // Euclidean distance are all the search needs of it.
        Discriminant::Parts identity{dimensions, dimensions, 1e-3,
                                     std::vector<float>(dimensions, 0.0f), {}};
        identity.directions.assign(dimensions * dimensions, 0.0f);
        for (int k = 0; k < dimensions; ++k) identity.directions[k * dimensions + k] = 1.0f;
        model.discriminant = Discriminant::FromParts(identity);
        model.threshold = 0.8;
        for (int p = 0; p < people; ++p) {
            centres.push_back(Centre());
            model.Enrol(Around(centres.back(), 10), "p" + std::to_string(p));
        }
    }

    // Of count probes (half enrolled people's, half strangers'), the share
    // whose indexed decision (a person or unknown) is exact search's, and the
    // share of enrolled people's probes whose first candidate is exact
    // search's. Scores may differ where the nearest other person lies
    // outside the lists visited; the decision hardly ever does.
    struct Agreement {
        double decision, first;
    };
    Agreement Agree(int count) {
        std::uniform_int_distribution<size_t> who(0, centres.size() - 1);
        int sameDecision = 0, sameFirst = 0;
        for (int i = 0; i < count; ++i) {
            const bool stranger = i % 2 == 1;
            const std::vector<float> probe = Around(stranger ? Centre() : centres[who(random)], 1);
            const morlin::Identification indexed = model.Identify(probe.data(), 3);
            const std::shared_ptr<SearchIndex> kept = std::move(model.index);
            const morlin::Identification exact = model.Identify(probe.data(), 3);
            model.index = kept;
            sameDecision += indexed.person == exact.person ? 1 : 0;
            if (!stranger)
                sameFirst += indexed.candidates.front().person == exact.candidates.front().person;
        }
        return {static_cast<double>(sameDecision) / count,
                static_cast<double>(sameFirst) / (count / 2)};
    }
};

TEST(SearchIndexTest, AnswersAsExactSearchDoesAsTheGalleryChanges) {
    MadeGallery gallery(6000);
    ASSERT_TRUE(gallery.model.index);
    EXPECT_EQ(gallery.model.index->Images(), 60000u);
    const MadeGallery::Agreement before = gallery.Agree(1000);
    EXPECT_GE(before.decision, 0.995);
    EXPECT_GE(before.first, 0.99);

    // People removed (the index renumbers what follows them) and enrolled.
    for (int p = 0; p < 200; ++p) ASSERT_TRUE(gallery.model.Remove("p" + std::to_string(p * 7)));
    for (int p = 0; p < 100; ++p) {
        gallery.centres.push_back(gallery.Centre());
        gallery.model.Enrol(gallery.Around(gallery.centres.back(), 10),
                            "late" + std::to_string(p));
    }
    ASSERT_TRUE(gallery.model.index);
    EXPECT_EQ(gallery.model.index->Images(), gallery.model.personOf.size());
    // The removed people's centres still draw probes: strangers now.
    const MadeGallery::Agreement after = gallery.Agree(1000);
    EXPECT_GE(after.decision, 0.995);
    EXPECT_GE(after.first, 0.99);
}

TEST(SearchIndexTest, SmallGalleriesAreSearchedExactly) {
    MadeGallery gallery(100);
    EXPECT_FALSE(gallery.model.index);
}

}  // namespace
