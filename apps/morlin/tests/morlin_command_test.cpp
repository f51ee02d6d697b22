// The morlin command run as a process on ORL people linked into a temporary
// gallery: its lines, its JSON and its exit statuses.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "face_data.h"
#include "run_command.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Whether a model file shows what every plain SQLite database shows: its
// header and its tables' definitions. Markers long enough that ciphertext
// never holds them by chance (a person's short name, such as "s10", can:
// about once in sixty files of this size).
bool InClear(const std::string& bytes) {
    return bytes.find("SQLite format 3") != std::string::npos ||
           bytes.find("CREATE TABLE") != std::string::npos;
}

const fs::path orl = OrlFolder();

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

class MorlinCommandTest : public ::testing::Test {
protected:
    MorlinCommandTest() {
        // People s1..s12 with all ten images each.
        for (int person = 1; person <= 12; ++person)
            fs::create_directory_symlink(orl / ("s" + std::to_string(person)),
                                         gallery() / ("s" + std::to_string(person)));
    }

    fs::path gallery() const {
        fs::create_directories(folder.Path() / "gallery");
        return folder.Path() / "gallery";
    }
    std::string Model() const { return (folder.Path() / "m.morlin").string(); }
    static std::string Face(int person, int image) {
        return (orl / ("s" + std::to_string(person)) / (std::to_string(image) + ".pgm")).string();
    }

    Outcome Morlin(const std::string& arguments) const {
        const fs::path err = folder.Path() / "stderr.txt";
        const CommandResult r =
            RunCommand(std::string(MORLIN_PATH) + " " + arguments + " 2>" + err.string());
        return {r.status, r.out, TempFolder::Read(err)};
    }
    // Trained on s1..s10, images 1-5.
    void Train(const std::string& more = "") {
        fs::rename(gallery() / "s11", folder.Path() / "s11");
        fs::rename(gallery() / "s12", folder.Path() / "s12");
        const Outcome r =
            Morlin("train " + gallery().string() + " --train 5 --model=" + Model() + " " + more);
        ASSERT_EQ(r.status, 0) << r.err;
    }

    TempFolder folder;
};

TEST_F(MorlinCommandTest, TrainIdentifyEnrolRemove) {
    Train("--stranger-rate 0.1");
    EXPECT_TRUE(InClear(TempFolder::Read(Model()))) << "a model without a key is plain SQLite";
    // A crop model: each image one face, its box the whole image.
    Outcome r = Morlin("identify --model " + Model() + " " + Face(3, 8) + " " + Face(7, 9));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find(Face(3, 8) + "\t0,0,92,112\ts3\t"), 0u) << r.out;
    EXPECT_NE(r.out.find("\n" + Face(7, 9) + "\t0,0,92,112\ts7\t"), std::string::npos) << r.out;

    // A newcomer, enrolled without retraining, is named afterwards.
    r = Morlin("identify --model " + Model() + " --top 2 " + Face(11, 9));
    EXPECT_EQ(r.out.find(Face(11, 9) + "\t0,0,92,112\tunknown\t"), 0u) << r.out;
    r = Morlin("enrol --model " + Model() + " " + (folder.Path() / "s11/").string());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "enrolled s11: 10 images\n");
    r = Morlin("identify --model " + Model() + " " + Face(11, 9));
    EXPECT_EQ(r.out.find(Face(11, 9) + "\t0,0,92,112\ts11\t"), 0u) << r.out;

    r = Morlin("remove --model " + Model() + " s11 nobody");
    EXPECT_EQ(r.status, 65);
    EXPECT_EQ(r.out, "removed s11\n");
    EXPECT_NE(r.err.find("nobody named \"nobody\" is enrolled"), std::string::npos) << r.err;
    r = Morlin("info --json --model " + Model());
    const QJsonObject info = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(info["method"].toString(), "lbp-discriminant");
    EXPECT_EQ(info["people"].toArray().size(), 10);
    EXPECT_EQ(info["calibration"].toObject()["stranger_rate"].toDouble(), 0.1);
}

// Bad images among good ones: each named on standard error, the others
// answered, and the status says what went wrong.
TEST_F(MorlinCommandTest, BadImagesAreNamedAndTheOthersGoOn) {
    Train("--threshold 3");
    folder.Write("broken.pgm", "P5 92 112 255\nshort");
    const Outcome r =
        Morlin("identify --json --model " + Model() + " " + Face(2, 7) + " " +
               (folder.Path() / "broken.pgm").string() + " " + Face(5, 1).substr(0, 0) +
               (orl / "README.md").string() + " " + Face(4, 6));
    EXPECT_EQ(r.status, 65);
    EXPECT_NE(r.err.find("broken.pgm"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("README.md"), std::string::npos) << r.err;
    const QJsonArray answers = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).array();
    ASSERT_EQ(answers.size(), 2);
    const QJsonObject first = answers[0].toObject();
    EXPECT_EQ(first["image"].toString().toStdString(), Face(2, 7));
    EXPECT_EQ(first["person"].toString(), "s2");  // a threshold of 3 names everybody
    EXPECT_TRUE(first["stranger_rate"].isNull());
    const QJsonObject box = first["box"].toObject();
    EXPECT_EQ(box["x"].toInt() + box["y"].toInt(), 0);
    EXPECT_EQ(box["width"].toInt(), 92);
    EXPECT_EQ(box["height"].toInt(), 112);
    EXPECT_EQ(first["candidates"].toArray()[0].toObject()["person"].toString(), "s2");
    EXPECT_EQ(answers[1].toObject()["person"].toString(), "s4");

    const Outcome missing =
        Morlin("identify --model " + Model() + " " + Face(2, 7) + " /no/such.pgm");
    EXPECT_EQ(missing.status, 66);
    EXPECT_EQ(missing.out.find(Face(2, 7) + "\t0,0,92,112\ts2\t"), 0u);
}

// A model under a key: only with the key, nothing in clear, and never in a
// process where another SQLite (which cannot apply keys) was loaded first.
TEST_F(MorlinCommandTest, EncryptedModelsOpenWithTheirKeyOnly) {
    folder.Write("model.key", "correct horse battery staple\n");
    fs::permissions(folder.Path() / "model.key", fs::perms::owner_read | fs::perms::owner_write);
    const std::string key = " --key-file " + (folder.Path() / "model.key").string();
    Train(key);
    EXPECT_FALSE(InClear(TempFolder::Read(Model())));
    EXPECT_NE(Morlin("info --model " + Model()).status, 0);
    const Outcome r = Morlin("identify --model " + Model() + key + " " + Face(3, 8));
    EXPECT_EQ(r.out.find(Face(3, 8) + "\t0,0,92,112\ts3\t"), 0u) << r.out << r.err;
    // A backup keeps the key.
    const std::string copy = (folder.Path() / "copy.morlin").string();
    EXPECT_EQ(Morlin("backup --model " + Model() + key + " " + copy).status, 0);
    EXPECT_FALSE(InClear(TempFolder::Read(copy)));
    EXPECT_EQ(Morlin("info --model " + copy + key).status, 0);
    // The sanitizer runtime insists on coming first; the preload is the point here.
    const CommandResult other = RunCommand(
        "ASAN_OPTIONS=$ASAN_OPTIONS:verify_asan_link_order=0 "
        "LD_PRELOAD=libsqlite3.so.0 " +
        std::string(MORLIN_PATH) + " info --model " + Model() + key + " 2>&1");
    EXPECT_EQ(other.status, 65);
    EXPECT_NE(other.out.find("is not SQLCipher"), std::string::npos) << other.out;
}

struct StatusCase {
    const char* name;
    std::string arguments;  // MODEL and GALLERY stand for the fixture's
    int status;
    const char* told;
};

void PrintTo(const StatusCase& c, std::ostream* out) {
    *out << c.name;
}

class MorlinStatusTest : public MorlinCommandTest,
                         public ::testing::WithParamInterface<StatusCase> {};

TEST_P(MorlinStatusTest, ExitsWithItsStatus) {
    Train();
    folder.Write("damaged.morlin", "MORLINID and then nothing a model needs");
    folder.Write("open.key", "a key anyone may read\n");
    folder.Write("private.key", "a key the model was not locked with\n");
    fs::permissions(folder.Path() / "private.key", fs::perms::owner_read | fs::perms::owner_write);
    std::string arguments = GetParam().arguments;
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"MODEL", Model()},
                                     {"GALLERY", gallery().string()},
                                     {"DAMAGED", (folder.Path() / "damaged.morlin").string()},
                                     {"COPY", (folder.Path() / "copy.morlin").string()}})
        for (size_t at = arguments.find(key); at != std::string::npos; at = arguments.find(key))
            arguments.replace(at, key.size(), value);
    const Outcome r = Morlin(arguments);
    EXPECT_EQ(r.status, GetParam().status) << r.err;
    EXPECT_NE((r.err + r.out).find(GetParam().told), std::string::npos) << r.err << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, MorlinStatusTest,
    ::testing::Values(
        StatusCase{"NoCommand", "", 64, "no command given"},
        StatusCase{"UnknownCommand", "learn GALLERY", 64, "unknown command: learn"},
        StatusCase{"NoModel", "identify x.pgm", 64, "needs --model FILE"},
        StatusCase{"BadValue", "train GALLERY --model MODEL --train 0", 64,
                   "invalid value for --train"},
        StatusCase{"BadMethod", "train GALLERY --model MODEL --method best", 64, "--method"},
        StatusCase{"BothThresholds",
                   "train GALLERY --model MODEL --threshold 1 --stranger-rate 0.1", 64, "give one"},
        StatusCase{"TwoGalleries", "train GALLERY GALLERY --model MODEL", 64, "takes one GALLERY"},
        StatusCase{"MissingModel", "info --model /no/such.morlin", 66, "/no/such.morlin"},
        StatusCase{"DamagedModel", "info --model DAMAGED", 65, "damaged.morlin: "},
        StatusCase{"MissingGallery", "train /no/such/gallery --model MODEL", 66, "no such folder"},
        StatusCase{"CannotWrite", "train GALLERY --model /no/such/folder/m.morlin", 73,
                   "m.morlin: cannot be written"},
        // Never refused: the nearest threshold the people allow, and how rough it is.
        StatusCase{"TooFewForTheRate",
                   "train GALLERY --train 5 --model MODEL --stranger-rate 0.001", 0,
                   "too few to resolve a stranger rate of 0.1 %"},
        StatusCase{"OthersReadTheKey", "info --model MODEL --key-file GALLERY/../open.key", 65,
                   "only its owner can read (chmod 600"},
        StatusCase{"WrongKey", "info --model MODEL --key-file GALLERY/../private.key", 65,
                   "not a model database"},
        StatusCase{"BackupOfNothing", "backup --model /no/such.morlin COPY", 66, "/no/such.morlin"},
        StatusCase{"Help", "train --help", 0, "--stranger-rate <R>"},
        StatusCase{"Version", "--version", 0, "morlin 1.0.0.1"}),
    [](const auto& c) { return std::string(c.param.name); });

}  // namespace
