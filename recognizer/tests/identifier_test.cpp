// The identifier through libmorlin.so, as an integrator uses it: ORL people
// trained, saved, loaded, enrolled, removed, calibrated and identified from
// several threads; damaged model files; galleries too small for a stage.
#include "morlin/identifier.h"

#include <gtest/gtest.h>
#include <sqlcipher/sqlite3.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "gallery.h"
#include "temp_folder.h"

namespace {

using morlin::Identification;
using morlin::Identifier;
using morlin::Method;

// Images of ORL people first..last, images from..to of each, with names "sN".
struct People {
    People(int first, int last, int from, int to) : faces(112, 92) {
        for (int person = first; person <= last; ++person)
            for (int image = from; image <= to; ++image) {
                faces.Add(LoadOrlFace(person, image));
                names.push_back("s" + std::to_string(person));
            }
        for (int i = 0; i < faces.Count(); ++i)
            images.push_back({112, 92, nullptr, faces.Image(i).data()});
    }
    Gallery faces;
    std::vector<std::string> names;
    std::vector<morlin::Image> images;
};

morlin::Settings SettingsFor(Method method) {
    morlin::Settings settings;
    settings.method = method;
    return settings;
}

void ExpectSame(const Identification& a, const Identification& b) {
    EXPECT_EQ(a.person, b.person);
    EXPECT_EQ(a.score, b.score);
    EXPECT_EQ(a.distance, b.distance);
    EXPECT_TRUE(a.strangerRate == b.strangerRate ||
                (std::isnan(a.strangerRate) && std::isnan(b.strangerRate)));
    ASSERT_EQ(a.candidates.size(), b.candidates.size());
    for (size_t k = 0; k < a.candidates.size(); ++k) {
        EXPECT_EQ(a.candidates[k].person, b.candidates[k].person);
        EXPECT_EQ(a.candidates[k].score, b.candidates[k].score);
        EXPECT_EQ(a.candidates[k].image, b.candidates[k].image);
    }
}

class IdentifierTest : public ::testing::TestWithParam<Method> {
protected:
    // People 1-10 enrolled with images 1-5; their images 6-10 are probes.
    IdentifierTest() : enrolled(1, 10, 1, 5), probes(1, 10, 6, 10) {
        identifier.Train(enrolled.images, enrolled.names);
    }

    int NamedRightly(const Identifier& model, const People& faces) const {
        int right = 0;
        for (size_t i = 0; i < faces.images.size(); ++i) {
            const Identification answer = model.Identify(faces.images[i], 3);
            right += answer.candidates.front().person == faces.names[i] ? 1 : 0;
        }
        return right;
    }

    People enrolled;
    People probes;
    Identifier identifier{SettingsFor(GetParam())};
    TempFolder folder;
};

TEST_P(IdentifierTest, SavedModelIdentifiesExactlyAsTheTrainedOne) {
    EXPECT_GE(NamedRightly(identifier, probes), 40);  // of 50
    const std::string path = (folder.Path() / "model.morlin").string();
    identifier.Save(path);
    const Identifier loaded = Identifier::Load(path);
    for (const morlin::Image& probe : probes.images)
        ExpectSame(identifier.Identify(probe, 4), loaded.Identify(probe, 4));
    const morlin::ModelInfo info = loaded.Info();
    EXPECT_EQ(info.settings.method, GetParam());
    EXPECT_EQ(info.people.size(), 10u);
    EXPECT_EQ(info.enrolledImages, 50);
    EXPECT_EQ(info.rows, 112);
    // Nothing is left beside the model.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_P(IdentifierTest, EnrolledPersonIsNamedWithoutRetrainingAndRemovedIsNot) {
    const People newcomer(11, 11, 1, 5), later(11, 11, 6, 10);
    identifier.Enrol(newcomer.images, "s11");
    EXPECT_GE(NamedRightly(identifier, later), 4);
    identifier.Remove("s11");
    for (const morlin::Image& probe : later.images)
        EXPECT_NE(identifier.Identify(probe, 20).candidates.front().person, "s11");
    EXPECT_EQ(identifier.Info().people.size(), 10u);
    try {
        identifier.Remove("s11");
        FAIL() << "removed twice";
    } catch (const morlin::Error& e) {
        EXPECT_STREQ(e.what(), "nobody named \"s11\" is enrolled");
    }
}

TEST_P(IdentifierTest, CandidatesArePeopleNearestFirstEachOnce) {
    const Identification answer = identifier.Identify(probes.images[0], 10);
    ASSERT_EQ(answer.candidates.size(), 10u);
    for (size_t k = 1; k < answer.candidates.size(); ++k) {
        EXPECT_LE(answer.candidates[k - 1].score, answer.candidates[k].score);
        for (size_t j = 0; j < k; ++j)
            EXPECT_NE(answer.candidates[j].person, answer.candidates[k].person);
    }
    EXPECT_EQ(answer.score, answer.candidates.front().score);
    // The designed method keeps its designed threshold, uncalibrated; the
    // others are calibrated by training, for the default share of strangers.
    if (GetParam() == Method::Designed) {
        EXPECT_TRUE(std::isnan(answer.strangerRate));
    } else {
        EXPECT_GE(answer.strangerRate, 0.0);
        EXPECT_LE(answer.strangerRate, 1.0);
        EXPECT_EQ(identifier.Info().thresholdOrigin, morlin::ThresholdOrigin::Calibrated);
        EXPECT_EQ(identifier.Info().calibration->target, morlin::defaultStrangerRate);
    }
}

TEST_P(IdentifierTest, FourThreadsIdentifyAsOneDoes) {
    std::vector<Identification> alone;
    for (const morlin::Image& probe : probes.images) alone.push_back(identifier.Identify(probe, 3));
    std::vector<std::vector<Identification>> each(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (const morlin::Image& probe : probes.images)
                each[static_cast<size_t>(t)].push_back(identifier.Identify(probe, 3));
        });
    for (std::thread& thread : threads) thread.join();
    for (const auto& answers : each)
        for (size_t i = 0; i < alone.size(); ++i) ExpectSame(alone[i], answers[i]);
    const std::vector<Identification> batch = identifier.Identify(probes.images, 3);
    for (size_t i = 0; i < alone.size(); ++i) ExpectSame(alone[i], batch[i]);
}

INSTANTIATE_TEST_SUITE_P(Methods, IdentifierTest, ::testing::ValuesIn(morlin::allMethods),
                         [](const auto& method) {
                             std::string name = morlin::MethodName(method.param);
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

// A batch goes through other code than a single probe (four faces against
// each basis face or signature image, the probes shared among threads, the
// enrolled images streamed once per block): every kernel and method gives
// exactly the answers one probe at a time gives.
TEST(IdentifierBatchTest, EveryKernelAnswersABatchAsOneAtATime) {
    const People enrolled(1, 8, 1, 4), probes(1, 10, 5, 7);
    for (Method method : {Method::Designed, Method::LbpDiscriminant})
        for (int kernel : {0, 1, 2, 3}) {
            SCOPED_TRACE(morlin::MethodName(method) + ", kernel " + std::to_string(kernel));
            morlin::Settings settings = SettingsFor(method);
            settings.designed.isKernel = kernel != 0;
            settings.designed.kernelType = kernel;
            settings.designed.gamma = method == Method::Designed ? 4e-4 : 0.05;
            settings.designed.coef0 = 1.0;
            Identifier identifier(settings);
            identifier.Train(enrolled.images, enrolled.names);
            const std::vector<Identification> batch = identifier.Identify(probes.images, 4);
            for (size_t i = 0; i < probes.images.size(); ++i)
                ExpectSame(identifier.Identify(probes.images[i], 4), batch[i]);
        }
}

TEST(IdentifierCalibrationTest, StrangersAreUnknownAtTheCalibratedRate) {
    const People enrolled(1, 20, 1, 5), mated(1, 20, 6, 10), strangers(21, 40, 1, 10);
    Identifier identifier;
    identifier.Train(enrolled.images, enrolled.names);
    const morlin::Calibration calibration = identifier.Calibrate(0.10);
    EXPECT_EQ(calibration.people, 20u);
    EXPECT_EQ(calibration.searches, 100u);
    EXPECT_TRUE(calibration.warning.empty()) << calibration.warning;
    int named = 0;
    double previousScore = -1.0, previousRate = 0.0;
    std::vector<Identification> answers = identifier.Identify(strangers.images);
    std::sort(answers.begin(), answers.end(),
              [](const auto& a, const auto& b) { return a.score < b.score; });
    for (const Identification& answer : answers) {
        named += answer.person ? 1 : 0;
        // The stranger rate rises with the score.
        EXPECT_GE(answer.score, previousScore);
        EXPECT_GE(answer.strangerRate, previousRate);
        previousScore = answer.score;
        previousRate = answer.strangerRate;
        EXPECT_EQ(answer.person.has_value(), answer.score < calibration.threshold);
    }
    EXPECT_LT(named, 40);  // of 200: within a factor of two of 10 %
    int mates = 0;
    for (size_t i = 0; i < mated.images.size(); ++i)
        mates += identifier.Identify(mated.images[i]).person == mated.names[i] ? 1 : 0;
    EXPECT_GE(mates, 80);  // of 100
    EXPECT_NEAR(identifier.Info().calibration->threshold, calibration.threshold, 0.0);
}

// Galleries a stage cannot work on: each refused with a reason, or served
// without NaN.
TEST(IdentifierEdgeTest, SmallGalleriesGiveAnswersOrClearRefusals) {
    const People two(1, 2, 1, 3), single(3, 3, 1, 1), one(4, 4, 1, 4);
    for (Method method : morlin::allMethods) {
        SCOPED_TRACE(morlin::MethodName(method));
        Identifier pair(SettingsFor(method));
        pair.Train(two.images, two.names);  // two people only
        pair.Enrol(single.images, "s3");    // a person with one image
        const Identification answer = pair.Identify(one.images[0], 3);
        EXPECT_EQ(answer.candidates.size(), 3u);
        EXPECT_FALSE(std::isnan(answer.score));
        EXPECT_FALSE(std::isnan(answer.distance));
        // 6 searches cannot resolve 1 %: the nearest threshold they allow, said so.
        const morlin::Calibration rough = pair.Calibrate(0.01);
        EXPECT_NE(rough.warning.find("too few to resolve"), std::string::npos) << rough.warning;

        Identifier lonely(SettingsFor(method));
        if (method == Method::Designed) {
            lonely.Train(one.images, one.names);
            EXPECT_EQ(lonely.Identify(two.images[0]).candidates.front().person, "s4");
        } else {
            try {
                lonely.Train(one.images, one.names);
                FAIL() << "one person trained a discriminant stage";
            } catch (const morlin::Error& e) {
                EXPECT_NE(std::string(e.what()).find("at least two people"), std::string::npos)
                    << e.what();
            }
        }
        // Identical images carry nothing to tell apart.
        const std::vector<morlin::Image> same(4, two.images[0]);
        Identifier identical(SettingsFor(method));
        EXPECT_THROW(identical.Train(same, {"a", "a", "b", "b"}), morlin::Error);
        EXPECT_FALSE(identical.Trained());
    }
}

TEST(IdentifierEdgeTest, WrongCallsAreRefusedWithTheirReason) {
    const People two(1, 2, 1, 2);
    Identifier identifier;
    const auto refusal = [&](auto call) {
        try {
            call();
        } catch (const morlin::Error& e) {
            return std::string(e.what());
        }
        return std::string("no refusal");
    };
    EXPECT_EQ(refusal([&] { identifier.Identify(two.images[0]); }),
              "the identifier holds no model: train it or load one first");
    EXPECT_EQ(refusal([&] { identifier.Train(two.images, {"a"}); }),
              "4 images but 1 person names: give one name per image");
    identifier.Train(two.images, two.names);
    const std::vector<int> small(50 * 50, 128);
    EXPECT_EQ(refusal([&] {
                  identifier.Identify({50, 50, nullptr, small.data()});
              }),
              "the probe is 50x50 pixels; the model's images are 92x112");
    EXPECT_EQ(refusal([&] {
                  identifier.Enrol({{112, 92, nullptr, nullptr}}, "x");
              }),
              "image 1 has no pixels");
    EXPECT_EQ(refusal([&] { identifier.Calibrate(1.5); }),
              "a stranger rate is a share between 0 and 1 (0.05 for 5 %)");
    EXPECT_EQ(
        refusal([&] { identifier.Train(two.images, two.names, [](int, int) { return false; }); }),
        "cancelled");
    EXPECT_EQ(identifier.Info().enrolledImages, 4);  // the cancelled training changed nothing
}

// A small model of 8 x 8 faces, saved.
struct SmallModel {
    SmallModel() {
        for (int i = 0; i < 6; ++i) {
            std::vector<uint8_t> face(8 * 8);
            for (size_t k = 0; k < face.size(); ++k)
                face[k] = static_cast<uint8_t>((k * (i + 3) * 37) % 251);
            pixels.push_back(face);
        }
        for (const auto& face : pixels) images.push_back({8, 8, face.data(), nullptr});
        identifier.Train(images, {"unmistakable-name", "unmistakable-name", "b", "b", "c", "c"});
    }
    std::vector<std::vector<uint8_t>> pixels;
    std::vector<morlin::Image> images;
    Identifier identifier;
};

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The database with one statement run on it.
void Alter(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

// Damaged, foreign, of another version, under another key, or with rows
// that do not fit: refused with the file's name and what is wrong, and the
// identifier assigned from a failed load keeps its model.
TEST(IdentifierModelFileTest, DamagedForeignAndLockedModelsAreRefusedByName) {
    TempFolder folder;
    SmallModel small;
    Identifier& identifier = small.identifier;
    const std::string good = (folder.Path() / "good.morlin").string();
    identifier.Save(good);
    const std::string bytes = Bytes(good);
    ASSERT_EQ(bytes.rfind("SQLite format 3", 0), 0u);
    const Identification before = identifier.Identify(small.images[2], 3);

    const std::string bad = (folder.Path() / "bad.morlin").string();
    const auto refused = [&](const std::string& told, const std::string& key = {}) {
        try {
            identifier = Identifier::Load(bad, key);
            ADD_FAILURE() << "loaded: " << told;
        } catch (const morlin::Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(bad + ": ", 0), 0u) << e.what();
            EXPECT_NE(std::string(e.what()).find(told), std::string::npos) << e.what();
        }
    };
    const auto write = [&](const std::string& content) {
        std::filesystem::remove(bad + "-wal");
        std::filesystem::remove(bad + "-shm");
        std::ofstream(bad, std::ios::binary | std::ios::trunc) << content;
    };
    for (const size_t length :
         {size_t{0}, size_t{50}, size_t{100}, size_t{4096}, bytes.size() / 2}) {
        write(bytes.substr(0, length));
        refused("");
    }
    write(std::string(5000, '\x5a'));
    refused("not a model database");
    struct Case {
        const char* sql;
        const char* told;
    };
    for (const Case& c :
         {Case{"PRAGMA application_id = 7", "not a morlin model"},
          Case{"PRAGMA user_version = 3", "model format version 3; this library reads version 2"},
          Case{"DELETE FROM basis", "damaged: no basis"},
          Case{"UPDATE images SET signature = x'00'", "a signature of another size"},
          Case{"UPDATE images SET person = 999", "an image of nobody enrolled"},
          Case{"UPDATE basis SET faces = 1000000", "the basis's parts do not fit together"},
          Case{"UPDATE model SET method = 9", "an unknown method"},
          Case{"DELETE FROM calibration", "a calibrated threshold without its calibration"}}) {
        write(bytes);
        Alter(bad, c.sql);
        refused(c.told);
    }

    // At rest under a key: nothing in clear; refused without it or with another.
    const std::string locked = (folder.Path() / "locked.morlin").string();
    identifier.Save(locked, "the key");
    EXPECT_EQ(Bytes(locked).find("unmistakable-name"), std::string::npos);
    EXPECT_EQ(Bytes(locked).find("SQLite format 3"), std::string::npos);
    EXPECT_NE(bytes.find("unmistakable-name"), std::string::npos);  // the search can find it
    std::filesystem::copy_file(locked, bad, std::filesystem::copy_options::overwrite_existing);
    refused("no key was given");
    refused("the key is wrong", "another key");
    ExpectSame(Identifier::Load(locked, "the key").Identify(small.images[2], 3), before);

    ExpectSame(identifier.Identify(small.images[2], 3), before);
    EXPECT_THROW(Identifier::Load((folder.Path() / "missing").string()), morlin::Error);
    EXPECT_THROW(Identifier::Load(folder.Path().string()), morlin::Error);
}

// A model file of the earlier format is read as it is, and becomes a model
// database at its first change, with everything it held.
TEST(IdentifierModelFileTest, EarlierFormatIsReadAndConvertedOnItsFirstChange) {
    TempFolder folder;
    const std::string file = (folder.Path() / "earlier.morlin").string();
    std::filesystem::copy_file(MORLIN_EARLIER_MODEL, file);
    const morlin::ModelInfo earlier = Identifier::Load(file).Info();
    ASSERT_GE(earlier.people.size(), 2u);
    std::vector<uint8_t> face(static_cast<size_t>(earlier.rows * earlier.columns));
    for (size_t k = 0; k < face.size(); ++k) face[k] = static_cast<uint8_t>(k * 53 % 256);
    const morlin::Image probe{earlier.rows, earlier.columns, face.data(), nullptr};
    const Identification before = Identifier::Load(file).Identify(probe, 2);

    Identifier opened = Identifier::Open(file);
    ExpectSame(opened.Identify(probe, 2), before);
    EXPECT_EQ(Bytes(file).rfind("MORLINID", 0), 0u) << "read, not converted";
    opened.Enrol({probe}, "newcomer");
    EXPECT_EQ(Bytes(file).rfind("SQLite format 3", 0), 0u) << "converted at the first change";
    const morlin::ModelInfo converted = Identifier::Load(file).Info();
    EXPECT_EQ(converted.people.size(), earlier.people.size() + 1);
    EXPECT_EQ(converted.enrolledImages, earlier.enrolledImages + 1);
    EXPECT_EQ(converted.people.back().name, "newcomer");
    for (size_t p = 0; p < earlier.people.size(); ++p)
        EXPECT_EQ(converted.people[p].name, earlier.people[p].name);
}

}  // namespace

namespace {

// ORL people 1-40, images from..to, each shrunk to 14 x 11 by averaging
// 8 x 8 blocks: 154 pixels a face.
struct SmallFaces {
    SmallFaces(int from, int to) {
        for (int person = 1; person <= 40; ++person)
            for (int image = from; image <= to; ++image) {
                const std::vector<int> face = LoadOrlFace(person, image);
                std::vector<int> small;
                for (int r = 0; r < 14; ++r)
                    for (int c = 0; c < 11; ++c) {
                        int sum = 0;
                        for (int y = 0; y < 8; ++y)
                            for (int x = 0; x < 8; ++x)
                                sum += face[static_cast<size_t>((r * 8 + y) * 92 + c * 8 + x)];
                        small.push_back(sum / 64);
                    }
                pixels.push_back(std::move(small));
                names.push_back("s" + std::to_string(person));
            }
        for (const std::vector<int>& face : pixels)
            images.push_back({14, 11, nullptr, face.data()});
    }
    std::vector<std::vector<int>> pixels;
    std::vector<std::string> names;
    std::vector<morlin::Image> images;
};

}  // namespace

// 200 faces of 154 pixels: the basis comes from the pixels' scatter matrix
// (more faces than features), and the model saves, loads and enrols as any.
TEST(IdentifierScatterTest, MoreFacesThanFeaturesTrainSaveAndEnrol) {
    const SmallFaces gallery(1, 5), probes(6, 10);
    Identifier identifier(SettingsFor(Method::Discriminant));
    identifier.Train(gallery.images, gallery.names);
    int right = 0;
    for (size_t i = 0; i < probes.images.size(); ++i)
        right += identifier.Identify(probes.images[i]).candidates.front().person == probes.names[i]
                     ? 1
                     : 0;
    EXPECT_GE(right, 150);  // of 200
    TempFolder folder;
    const std::string path = (folder.Path() / "small.morlin").string();
    identifier.Save(path);
    Identifier loaded = Identifier::Load(path);
    for (const morlin::Image& probe : probes.images)
        ExpectSame(identifier.Identify(probe, 3), loaded.Identify(probe, 3));
    loaded.Enrol({probes.images[0], probes.images[1]}, "newcomer");
    EXPECT_EQ(loaded.Identify(probes.images[0]).candidates.front().person, "newcomer");
}
