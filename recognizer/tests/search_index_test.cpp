// A large gallery's search index against exact search: on a made gallery of
// 60,000 signatures (6,000 people, clustered as faces are) the index gives
// exact search's decision for at least 99.5 % of probes (enrolled people and
// strangers alike) and its first candidate for 99 % of enrolled people's, and
// keeps doing so as people are removed and enrolled.
#include <gtest/gtest.h>

#include <random>

#include "compute/workers.h"
#include "gallery.h"
#include "identifier/model_store.h"
#include "kernel_pca/grey_levels.h"
#include "temp_folder.h"

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
        Discriminant::Parts identity{
            dimensions, dimensions, 1e-3, std::vector<float>(dimensions, 0.0f), {}};
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
        gallery.model.Enrol(gallery.Around(gallery.centres.back(), 10), "late" + std::to_string(p));
    }
    ASSERT_TRUE(gallery.model.index);
    EXPECT_EQ(gallery.model.index->Images(), gallery.model.personOf.size());
    // The removed people's centres still draw probes: strangers now.
    const MadeGallery::Agreement after = gallery.Agree(1000);
    EXPECT_GE(after.decision, 0.995);
    EXPECT_GE(after.first, 0.99);
}

// A gallery past the index's size (a basis trained on ORL, made signatures
// enrolled beside): written whole, loaded, enrolled into by a writer's
// transaction, loaded again, it answers exactly as the model in memory.
TEST(SearchIndexTest, TheIndexLastsInTheModelDatabase) {
    const Gallery orl = OrlGallery(40, 1, 5);
    std::vector<uint8_t> levels;
    std::vector<std::string> names;
    for (int i = 0; i < orl.Count(); ++i) {
        for (int v : orl.Image(i)) levels.push_back(GreyLevel(static_cast<float>(v)));
        names.push_back("s" + std::to_string(i / 5));
    }
    morlin::Settings settings;
    Workers workers;
    FaceModel model = FaceModel::Train(settings, 112, 92, levels, orl.Count(), names, workers, {});
    const int d = model.Dimensions();

    std::mt19937 random(5);
    std::normal_distribution<float> unit;
    const auto around = [&](const std::vector<float>& centre, int images) {
        std::vector<float> out;
        for (int i = 0; i < images; ++i)
            for (float v : centre) out.push_back(v + 0.3f * unit(random));
        return out;
    };
    std::vector<std::vector<float>> centres;
    while (model.personOf.size() < SearchIndex::minimumImages + 100) {
        std::vector<float> centre(static_cast<size_t>(d));
        for (float& v : centre) v = 3.0f * unit(random);
        centres.push_back(centre);
        model.Enrol(around(centre, 10), "m" + std::to_string(centres.size()));
    }
    ASSERT_TRUE(model.index);
    std::vector<float> probes;
    for (size_t i = 0; i < 40; ++i) {
        const std::vector<float> one = around(centres[i * 97 % centres.size()], 1);
        probes.insert(probes.end(), one.begin(), one.end());
    }
    const auto answers = [&](const FaceModel& from) {
        std::vector<std::string> out;
        for (size_t i = 0; i < 40; ++i) {
            const morlin::Identification who =
                from.Identify(probes.data() + i * static_cast<size_t>(d), 2);
            out.push_back(who.candidates.front().person + " " + std::to_string(who.score));
        }
        return out;
    };

    const TempFolder folder;
    const std::string file = (folder.Path() / "large.morlin").string();
    ModelStore::WriteWhole(model, file, "");
    ModelStore store(file, "");
    FaceModel loaded = store.Load();
    ASSERT_TRUE(loaded.index);
    EXPECT_EQ(answers(loaded), answers(model));

    const std::vector<float> newcomer = around(centres.front(), 10);
    const auto enrol = [&](FaceModel& into, std::string& person, int& added) {
        into.Enrol(newcomer, "newcomer");
        person = "newcomer";
        added = 10;
        return ModelChange::Enrolled;
    };
    store.Write(loaded, enrol);
    std::string person;
    int added = 0;
    enrol(model, person, added);
    FaceModel again = ModelStore(file, "").Load();
    ASSERT_TRUE(again.index);
    EXPECT_EQ(again.personOf.size(), model.personOf.size());
    EXPECT_EQ(answers(again), answers(model));
}

TEST(SearchIndexTest, SmallGalleriesAreSearchedExactly) {
    MadeGallery gallery(100);
    EXPECT_FALSE(gallery.model.index);
}

}  // namespace
