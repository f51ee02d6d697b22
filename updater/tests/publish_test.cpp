// Publishing: what publish writes and signs, and every mistake it refuses
// instead of signing something a client would refuse or read differently.
#include "publish/publish.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "temp_folder.h"
#include "trust/manifest_stamp.h"

namespace {

constexpr std::time_t now = 1'800'000'000;

class PublishTest : public ::testing::Test {
protected:
    PublishTest() {
        EXPECT_TRUE(GenerateKeyPair(KeyFile(), said, error)) << error;
        site.Write("a.so", "aaa");
    }

    std::filesystem::path KeyFile() const { return keys.Path() / "publisher.key"; }

    bool Publish(const std::string& manifest, PublishOptions options = {}) {
        site.Write("autoupdate.txt", manifest);
        options.site = site.Path();
        if (options.keyFile.empty()) options.keyFile = KeyFile();
        if (options.now == 0) options.now = now;
        said.str("");
        return PublishSite(options, said, error);
    }

    TempFolder site;
    TempFolder keys;
    std::ostringstream said;
    std::string error;
};

const std::string fileSection = "[File1]\nfilename=a.so\nversion=1.0\nmoduletype=1\n";

TEST_F(PublishTest, KeepsEveryOtherByteAndSetsSerialSizeAndHash) {
    ASSERT_TRUE(
        Publish("[Main]\nserial=41\nfilecount=1\n\n[File1]\r\nsize=1\r\nfilename=a.so\r\n"
                "version=1\r\nnote=kept\r\n",
                {{}, {}, 42, {}, 0, {}}))
        << error;
    EXPECT_EQ(TempFolder::Read(site.Path() / "autoupdate.txt"),
              "[Main]\nserial=42\nfilecount=1\n\n[File1]\r\nsize=3\r\nsha256="
              "9834876dcfb05cb167a5c24953eba58c4ac89b1adf57f28f2f9d09af107ee8f0\r\n"
              "filename=a.so\r\nversion=1\r\nnote=kept\r\n");
    EXPECT_NE(said.str().find("serial 42, 1 file, signed with key ed25519:"), std::string::npos)
        << said.str();
}

TEST_F(PublishTest, SerialRisesWithTheClockAndExpiryFollowsValidFor) {
    ASSERT_TRUE(Publish("[Main]\nserial=1\nfilecount=1\n" + fileSection,
                        {{}, {}, {}, std::chrono::hours(24 * 30), 0, {}}))
        << error;
    const std::string written = TempFolder::Read(site.Path() / "autoupdate.txt");
    EXPECT_NE(written.find("serial=" + std::to_string(now) + "\n"), std::string::npos) << written;
    EXPECT_NE(written.find("expires=" + FormatExpiry(now + 30 * 86400) + "\n"), std::string::npos)
        << written;
    // A serial the clock has not reached yet keeps rising by one.
    ASSERT_TRUE(Publish("[Main]\nserial=1900000000\nfilecount=1\n" + fileSection)) << error;
    EXPECT_NE(TempFolder::Read(site.Path() / "autoupdate.txt").find("serial=1900000001\n"),
              std::string::npos);
}

std::string SerialIn(const std::string& manifest) {
    const size_t at = manifest.find("serial=");
    return at == std::string::npos ? "" : manifest.substr(at + 7, manifest.find('\n', at) - at - 7);
}

// A release script: publish, fix a file and publish again within the same
// second, then write the manifest afresh from its template: every serial
// rises above the last, whatever the manifest says.
TEST_F(PublishTest, SerialsRiseAboveEveryOnePublishedForTheSite) {
    const std::string manifestTemplate = "[Main]\nfilecount=1\n" + fileSection;
    std::vector<std::string> serials;
    for (const char* step : {"first", "fixed", "from the template"}) {
        const std::string manifest = serials.size() == 1
                                         ? TempFolder::Read(site.Path() / "autoupdate.txt")
                                         : manifestTemplate;
        site.Write("a.so", step);
        ASSERT_TRUE(Publish(manifest)) << step << ": " << error;
        serials.push_back(SerialIn(TempFolder::Read(site.Path() / "autoupdate.txt")));
        EXPECT_EQ(TempFolder::Read(site.Path() / "autoupdate.txt.last-serial"),
                  serials.back() + "\n");
    }
    EXPECT_EQ(serials, (std::vector<std::string>{std::to_string(now), std::to_string(now + 1),
                                                 std::to_string(now + 2)}));
    PublishOptions below;
    below.serial = now + 2;
    EXPECT_FALSE(Publish(manifestTemplate, below));
    EXPECT_NE(error.find("--serial 1800000002 is not above the serial 1800000002 published last"),
              std::string::npos)
        << error;
}

TEST_F(PublishTest, DamagedSerialRecordIsRefused) {
    for (const char* record : {"", "abc\n", "-4\n", "12345678901234567890\n"}) {
        site.Write("autoupdate.txt.last-serial", record);
        EXPECT_FALSE(Publish("[Main]\nfilecount=1\n" + fileSection)) << record;
        EXPECT_NE(error.find("autoupdate.txt.last-serial does not hold a serial"),
                  std::string::npos)
            << error;
        EXPECT_FALSE(std::filesystem::exists(site.Path() / "autoupdate.txt.sig"));
    }
    std::filesystem::remove(site.Path() / "autoupdate.txt.last-serial");
    std::filesystem::create_directory(site.Path() / "autoupdate.txt.last-serial");
    EXPECT_FALSE(Publish("[Main]\nfilecount=1\n" + fileSection));
    EXPECT_NE(error.find("last-serial is a folder"), std::string::npos) << error;
}

TEST_F(PublishTest, KeygenNeverReplacesAKey) {
    const std::string publicKey = TempFolder::Read(KeyFile().string() + ".pub");
    std::ostringstream out;
    EXPECT_FALSE(GenerateKeyPair(KeyFile(), out, error));
    const std::filesystem::path fresh = keys.Path() / "fresh.key";
    keys.Write("fresh.key.pub", "someone's key\n");
    EXPECT_FALSE(GenerateKeyPair(fresh, out, error));
    EXPECT_NE(error.find("fresh.key.pub already exists"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(fresh));
    EXPECT_EQ(TempFolder::Read(keys.Path() / "fresh.key.pub"), "someone's key\n");
    EXPECT_EQ(TempFolder::Read(KeyFile().string() + ".pub"), publicKey);
}

struct Mistake {
    const char* name;
    std::string manifest;
    std::function<void(PublishOptions&, TempFolder& keys)> setUp;
    const char* told;  // a part of the message
};

void PrintTo(const Mistake& mistake, std::ostream* out) {
    *out << mistake.name;
}

class PublishMistakeTest : public PublishTest, public ::testing::WithParamInterface<Mistake> {};

TEST_P(PublishMistakeTest, IsRefusedAndNothingIsSigned) {
    PublishOptions options;
    if (GetParam().setUp) GetParam().setUp(options, keys);
    EXPECT_FALSE(Publish(GetParam().manifest, options));
    EXPECT_NE(error.find(GetParam().told), std::string::npos) << error;
    EXPECT_EQ(TempFolder::Read(site.Path() / "autoupdate.txt"), GetParam().manifest);
    EXPECT_FALSE(std::filesystem::exists(site.Path() / "autoupdate.txt.sig"));
}

Mistake InMain(const char* name, const std::string& line, const char* told) {
    return {name, "[Main]\nfilecount=1\n" + line + "\n" + fileSection, {}, told};
}

Mistake InFile(const char* name, const std::string& line, const char* told) {
    return {name,
            "[Main]\nfilecount=1\n[File1]\nfilename=a.so\nmoduletype=1\n" + line + "\n",
            {},
            told};
}

Mistake WithKey(const char* name, std::function<std::filesystem::path(TempFolder&)> key,
                const char* told) {
    return {name, "[Main]\nfilecount=1\n" + fileSection,
            [key](PublishOptions& options, TempFolder& keys) { options.keyFile = key(keys); },
            told};
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, PublishMistakeTest,
    ::testing::Values(
        InMain(
            "ExpiryInAnotherFormat", "expires=2030-01-01 00:00:00",
            "autoupdate.txt:3: the manifest's expiry \"2030-01-01 00:00:00\" is not a real date"),
        InMain("ExpiryPassed", "expires=2020-01-01T00:00:00Z",
               "autoupdate.txt:3: the manifest expired"),
        InMain("ImpossibleExpiry", "expires=2030-02-30T00:00:00Z", "not a real date"),
        InMain("SerialNotANumber", "serial=abc", "autoupdate.txt:3: [Main] serial \"abc\""),
        InMain("SerialOfTwentyDigits", "serial=12345678901234567890", "1 to 18 digits"),
        InMain("NegativeSerial", "serial=-3", "serial \"-3\""),
        InMain("SerialAtTheLimit", "serial=999999999999999999", "would pass"),
        InMain("FileCountNotANumber", "filecount=1 ", "filecount \"1 \""),
        InFile("VersionWithASuffix", "version=1.0-beta",
               "autoupdate.txt:6: [File1] version \"1.0-beta\""),
        InFile("UnknownModuleType", "version=1\nmoduletype=3", "moduletype 3"),
        InFile("NameOutsideTheFolder", "version=1\nfilename=../a.so", "not a relative path"),
        InFile("NameOfTheCatalogue", "version=1\nfilename=data/module.dat", "module catalogue"),
        InFile("ListedFileMissing", "version=1\nfilename=b.so",
               "b.so does not exist (no such file)"),
        Mistake{"MoreFileSectionsThanCounted",
                "[Main]\nfilecount=1\n" + fileSection + "[File2]\nfilename=a.so\nversion=2\n",
                {},
                "[File2] is not among File1 to File1"},
        Mistake{"NoMainSection", fileSection, {}, "no [Main] section"},
        Mistake{"SerialNotAboveTheManifests", "[Main]\nserial=7\nfilecount=1\n" + fileSection,
                [](PublishOptions& options, TempFolder&) { options.serial = 7; },
                "--serial 7 is not above the manifest's serial 7"},
        // A long line one reader takes for a header and the other does not.
        Mistake{
            "OverlongLineOpeningASection",
            "[Main]\nfilecount=1\n" + fileSection + "[" + std::string(2998, 'n') + "]\nsize=9\n",
            {},
            "line 7 is longer than 2047 bytes"},
        Mistake{"OverlongLineEndingAsAHeader",
                "[Main]\nfilecount=1\n" + fileSection + "[Notes]\n[File1" + std::string(2100, ']') +
                    "x\nsize=9\n",
                {},
                "line 8 is longer than 2047 bytes"},
        WithKey(
            "KeyIsAFolder", [](TempFolder& keys) { return keys.Path(); }, "is a folder"),
        WithKey(
            "KeyIsThePublicKey", [](TempFolder& keys) { return keys.Path() / "publisher.key.pub"; },
            "is a public key: give the secret key file"),
        WithKey(
            "KeyFileEmpty", [](TempFolder& keys) { return keys.Write("empty", ""); }, "is empty"),
        WithKey(
            "KeyFileMissing", [](TempFolder& keys) { return keys.Path() / "nothing"; },
            "no such file")),
    [](const auto& mistake) { return std::string(mistake.param.name); });

TEST(DurationTest, TakesOneNumberAndOneUnit) {
    EXPECT_EQ(ParseDuration("30d"), std::chrono::seconds(30 * 86400));
    EXPECT_EQ(ParseDuration("12h"), std::chrono::seconds(12 * 3600));
    EXPECT_EQ(ParseDuration("2w"), std::chrono::seconds(2 * 604800));
    for (const char* wrong : {"", "d", "30", "0d", "-1d", "1.5h", "30 d", "30y"})
        EXPECT_FALSE(ParseDuration(wrong)) << wrong;
}

}  // namespace
