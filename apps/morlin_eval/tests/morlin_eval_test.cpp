// morlin-eval run as a process on small datasets written to a temp folder.
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "face_data.h"
#include "face_dataset.h"
#include "run_command.h"
#include "synthetic_faces.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

using RunResult = CommandResult;

RunResult RunEval(const std::string& arguments) {
    return RunCommand(std::string(MORLIN_EVAL_PATH) + " " + arguments + " 2>&1");
}

class MorlinEvalTest : public ::testing::Test {
public:
    MorlinEvalTest() : root(folder.Path()) {}

    // Person folder with count noisy variants of one base face, as PNG.
    void AddPerson(const std::string& person, int count, unsigned seed, QSize size = {16, 12}) {
        fs::create_directories(root / person);
        std::mt19937 random(seed);
        const std::vector<std::vector<int>> faces =
            NoisyFaces(count, size.height(), size.width(), 12, random);
        for (int k = 1; k <= count; ++k) {
            QImage variant(size, QImage::Format_Grayscale8);
            const std::vector<int>& face = faces[static_cast<size_t>(k - 1)];
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    variant.scanLine(y)[x] =
                        static_cast<uchar>(face[static_cast<size_t>(y * size.width() + x)]);
            variant.save(
                QString::fromStdString((root / person / (std::to_string(k) + ".png")).string()));
        }
    }

    TempFolder folder;
    fs::path root;
};

TEST_F(MorlinEvalTest, JsonReportsEveryProbeRankedAndSummarised) {
    for (int p = 1; p <= 4; ++p) AddPerson("p" + std::to_string(p), 11, static_cast<unsigned>(p));
    const RunResult r =
        RunEval("--json --train 3 --components 6 --distance ' Euclidean ' " + root.string());
    ASSERT_EQ(r.status, 0) << r.out;
    const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    ASSERT_FALSE(report.isEmpty()) << r.out;
    EXPECT_EQ(report["params"].toObject()["distance"].toString(), "Euclidean");
    const QJsonArray gallery = report["gallery"].toArray();
    ASSERT_EQ(gallery.size(), 12);
    // Natural order: 1, 2, 3 are the gallery, not 1, 10, 11.
    EXPECT_EQ(gallery[2].toObject()["file"].toString(), "p1/3.png");
    const QJsonArray probes = report["probes"].toArray();
    ASSERT_EQ(probes.size(), 32);
    EXPECT_EQ(probes[0].toObject()["file"].toString(), "p1/4.png");
    EXPECT_EQ(probes[7].toObject()["file"].toString(), "p1/11.png");
    for (const QJsonValue& probe : probes) {
        const QJsonArray ranked = probe.toObject()["ranked"].toArray();
        ASSERT_EQ(ranked.size(), 12);
        for (qsizetype i = 1; i < ranked.size(); ++i)
            EXPECT_LE(ranked[i - 1].toArray()[1].toDouble(), ranked[i].toArray()[1].toDouble());
    }
    const QJsonObject summary = report["summary"].toObject();
    EXPECT_GE(summary["rank1"].toDouble(), 0.9);
    EXPECT_GE(summary["train_ms"].toDouble(), 0.0);
}

TEST_F(MorlinEvalTest, TextReportCountsGalleryAndProbes) {
    for (int p = 1; p <= 3; ++p) AddPerson("p" + std::to_string(p), 4, static_cast<unsigned>(p));
    // Repeated runs report median times and the same results.
    const RunResult r = RunEval("--train 2 --kernel rbf --gamma 1e-3 --repeat 3 " + root.string());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("gallery images        6"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("probe images          6"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("rank-1 accuracy       1.0000"), std::string::npos) << r.out;
}

// What a person gets wrong, and what morlin-eval says: status 2 and the
// cause named.
struct Unusable {
    const char* name;
    std::function<void(MorlinEvalTest&)> setUp;  // on top of person a, 3 images
    const char* arguments;                       // before the dataset
    const char* told;
};

void PrintTo(const Unusable& unusable, std::ostream* out) {
    *out << unusable.name;
}

class UnusableTest : public MorlinEvalTest, public ::testing::WithParamInterface<Unusable> {};

TEST_P(UnusableTest, ExitsWithTwoAndSaysWhy) {
    AddPerson("a", 3, 1);
    if (GetParam().setUp) GetParam().setUp(*this);
    const RunResult r = RunEval(std::string(GetParam().arguments) + " " + root.string());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find(GetParam().told), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, UnusableTest,
    ::testing::Values(
        Unusable{"ImagesOfAnotherSize",
                 [](MorlinEvalTest& test) {
                     test.AddPerson("b", 3, 2, {12, 16});
                 },
                 "--train 2", "b/1.png is 12x16, the others are 16x12"},
        Unusable{"FewerImagesThanTrain", {}, "--train 4", "person a has 3 images"},
        Unusable{"NotAnImage",
                 [](MorlinEvalTest& test) {
                     std::FILE* junk = std::fopen((test.root / "a" / "9.png").c_str(), "w");
                     std::fputs("not an image", junk);
                     std::fclose(junk);
                 },
                 "--train 1", "cannot read image a/9.png"},
        Unusable{"UnknownKernel", {}, "--kernel cubic", "invalid value for --kernel: cubic"},
        Unusable{"MeasureOutOfRange", {}, "--distance 10", "invalid value for --distance: 10"},
        Unusable{"ComponentsNotANumber", {}, "--components x", "invalid value for --components"},
        Unusable{"NoRepeat", {}, "--repeat 0", "invalid value for --repeat: 0"},
        Unusable{"BothCalibrations", {}, "--calibrate 0.01 --calibrate-fpir 0.05", "give one"},
        Unusable{"OpenSetHalfUnknown", {}, "--open-set=third", "invalid value for --open-set"}),
    [](const auto& unusable) { return std::string(unusable.param.name); });

TEST_F(MorlinEvalTest, MissingDatasetExitsWithTwo) {
    EXPECT_NE(RunEval((root / "missing").string()).out.find("no such folder"), std::string::npos);
    const RunResult none = RunEval("");
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.out.find("no DATASET given"), std::string::npos) << none.out;
}

TEST(NaturalOrderTest, DigitRunsCompareByValue) {
    EXPECT_TRUE(NaturalLess("2.pgm", "10.pgm"));
    EXPECT_FALSE(NaturalLess("10.pgm", "2.pgm"));
    EXPECT_TRUE(NaturalLess("s9", "s10"));
    EXPECT_TRUE(NaturalLess("a", "b"));
    EXPECT_FALSE(NaturalLess("x1", "x1"));
    EXPECT_TRUE(NaturalLess("x01y", "x2"));
}

}  // namespace

namespace {

// Folder and file names that are not UTF-8 are read like any other and shown
// escaped.
TEST_F(MorlinEvalTest, NamesThatAreNotUtf8AreReadAndShownEscaped) {
    AddPerson("p1", 3, 1);
    AddPerson("tmp", 3, 2);
    fs::rename(root / "tmp" / "2.png", root / "tmp" / "2\xfe.png");
    fs::rename(root / "tmp", root / "p\xffx");
    const RunResult r = RunEval("--json --train 2 --components 3 " + root.string());
    ASSERT_EQ(r.status, 0) << r.out;
    const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    const QJsonArray gallery = report["gallery"].toArray();
    ASSERT_EQ(gallery.size(), 4);
    EXPECT_EQ(gallery[2].toObject()["person"].toString(), "p\\xffx");
    EXPECT_EQ(gallery[3].toObject()["file"].toString(), "p\\xffx/2\\xfe.png");
    EXPECT_EQ(report["probes"].toArray().size(), 2);
}

TEST(DisplayNameTest, KeepsUtf8AndEscapesEveryOtherByte) {
    EXPECT_EQ(DisplayName("人脸/s1"), "人脸/s1");
    EXPECT_EQ(DisplayName("a\xff"
                          "b\xc3"),
              "a\\xffb\\xc3");
    EXPECT_EQ(DisplayName("\xed\xa0\x80"), "\\xed\\xa0\\x80");  // an encoded surrogate
}

TEST(OpenSetReportTest, JsonCarriesIdentificationAndItsCalibration) {
    const std::string orl = OrlFolder();
    const CommandResult r = RunCommand(std::string(MORLIN_EVAL_PATH) +
                                       " --json --open-set=odd --calibrate-fpir 0.05 " + orl);
    ASSERT_EQ(r.status, 0);
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(root["open_set"].toString(), "odd");
    const QJsonObject identification = root["identification"].toObject();
    EXPECT_EQ(identification["mated"].toInt(), 100);
    EXPECT_EQ(identification["non_mated"].toInt(), 200);
    for (const char* key : {"rank1", "threshold", "fpir", "fnir", "fnir_at_fpir_1pct",
                            "fnir_at_fpir_5pct", "fnir_at_fpir_10pct"})
        EXPECT_TRUE(identification[key].isDouble()) << key;
    const QJsonObject calibration = root["calibration_fpir"].toObject();
    EXPECT_EQ(calibration["threshold"].toDouble(),
              root["params"].toObject()["threshold"].toDouble());
    for (const char* key : {"expected_fpir", "expected_fnir", "achieved_fpir", "achieved_fnir"})
        EXPECT_TRUE(calibration[key].isDouble()) << key;
}

}  // namespace
