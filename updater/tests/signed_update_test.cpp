// Signed update sites against a real server and a real catalogue: a site
// published with a key the program folder trusts installs; every attack and
// every key-file mistake fails closed, with nothing installed, no row written
// and the reason on standard error.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "catalog/catalog_error.h"
#include "catalog/sqlcipher_database.h"
#include "catalog/update_state.h"
#include "catalogue_fixture.h"
#include "publish/publish.h"
#include "trust/key_files.h"
#include "update_server.h"

namespace {

// The files of a site as the server will send them.
using Served = std::map<std::string, std::string>;

// A fixed clock for publishing, so serials are known.
constexpr std::time_t publishedAt = 1'700'000'000;

std::string Sha256Of(const std::string& bytes) {
    TempFolder scratch;
    return *Sha256OfFile(scratch.Write("f", bytes));
}

class SignedUpdateTest : public CatalogueFixture {
public:
    // A site with module x.so at version, published (signed) with key.
    Served Publish(const std::string& version, const std::string& module,
                   std::optional<long long> serial = std::nullopt,
                   const std::filesystem::path& key = {}) {
        const std::filesystem::path dir = site.Path() / version;
        site.Write(version + "/x.so", module);
        site.Write(version + "/autoupdate.txt",
                   "[Main]\r\nfilecount=1\r\n[File1]\r\nfilename=x.so\r\nversion=" + version +
                       "\r\nmoduletype=1\r\nauthor=Dorsk\r\nmodulename=x\r\n");
        std::ostringstream said;
        std::string error;
        EXPECT_TRUE(PublishSite({dir, key.empty() ? keyFile() : key, serial, {}, publishedAt, {}},
                                said, error))
            << error;
        return Served{{"autoupdate.txt", TempFolder::Read(dir / "autoupdate.txt")},
                      {"autoupdate.txt.sig", TempFolder::Read(dir / "autoupdate.txt.sig")},
                      {"x.so", module}};
    }

    // The manifest signed exactly as written, as a careless or older
    // publisher would sign it, with module served as x.so.
    Served SignAsIs(const std::string& manifest, const std::string& module) {
        std::string error;
        const std::optional<SecretKey> secret = ReadSecretKeyFile(keyFile(), error);
        EXPECT_TRUE(secret) << error;
        return Served{{"autoupdate.txt", manifest},
                      {"autoupdate.txt.sig", Sign(manifest, *secret)},
                      {"x.so", module}};
    }

    std::filesystem::path keyFile() const { return keys.Path() / "publisher"; }
    std::string PublicKeyLine() const {
        return Trimmed(TempFolder::Read(keyFile().string() + ".pub"));
    }

    RunOutcome RunServing(const Served& served, bool yes = true) {
        UpdateServer server;
        for (const auto& [name, bytes] : served) server.Put(name, bytes);
        RecordingOwner owner(yes);
        return RunAgainst(server.BaseUrl(), owner);
    }

    void SetUp() override {
        std::ostringstream said;
        std::string error;
        ASSERT_TRUE(GenerateKeyPair(keyFile(), said, error)) << error;
        folder.Write("program/data/update-keys", "# the publisher\n" + PublicKeyLine() + "\n");
        Register(1, "x.so", "1.0");
        folder.Write("program/x.so", "version 1.0");
    }

    void ExpectUnchanged() {
        EXPECT_EQ(TempFolder::Read(program() / "x.so"), "version 1.0");
        EXPECT_EQ(Row(1, "x.so"), "old author|x.so|old name|1.0");
        EXPECT_TRUE(std::filesystem::is_empty(environment.tempRoot));
    }

    static std::string Trimmed(std::string text) {
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        return text;
    }

    TempFolder site;
    TempFolder keys;
};

TEST_F(SignedUpdateTest, SignedSiteInstallsAndRemembersItsSerial) {
    EXPECT_EQ(RunServing(Publish("2.0", "version 2.0")), UpdateSucceeded);
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "version 2.0");
    EXPECT_EQ(ReadAcceptedSerial(program()), publishedAt);
}

// A manifest whose File1 vouches for "version 2.0" at the top and, below a
// line over the reader's limit, for the attacker's bytes: what the reader
// takes for the file depends on whether it cuts the long line.
std::string SplitManifest(const std::string& longLine, const std::string& header) {
    return "[Main]\nfilecount=1\nserial=1800000000\n[File1]\nfilename=x.so\nversion=2.0\n"
           "moduletype=1\nsize=11\nsha256=" +
           Sha256Of("version 2.0") + "\n" + header + longLine +
           "\nsize=9\nsha256=" + Sha256Of("attacker!") + "\n";
}

struct Attack {
    const char* name;
    std::function<void(Served&, SignedUpdateTest&)> change;
    UpdateResult result;
    const char* because;  // what the reason says
};

class AttackTest : public SignedUpdateTest, public ::testing::WithParamInterface<Attack> {};

TEST_P(AttackTest, FailsClosed) {
    Served served = Publish("2.0", "version 2.0");
    GetParam().change(served, *this);
    const RunOutcome outcome = RunServing(served);
    EXPECT_EQ(outcome, GetParam().result);
    EXPECT_NE(outcome.reason.find(GetParam().because), std::string::npos) << outcome.reason;
    ExpectUnchanged();
}

Attack SignedWith(const char* name, const std::string& mainExtra, const char* because) {
    return {name,
            [mainExtra](Served& s, SignedUpdateTest& test) {
                s = test.SignAsIs("[Main]\nfilecount=1\n" + mainExtra +
                                      "\n[File1]\nfilename=x.so\nversion=2.0\nmoduletype=1\n"
                                      "size=11\nsha256=" +
                                      Sha256Of("version 2.0") + "\n",
                                  "version 2.0");
            },
            UpdateManifestFailed, because};
}

INSTANTIATE_TEST_SUITE_P(
    Attacks, AttackTest,
    ::testing::Values(
        Attack{"FlippedByteInModule", [](Served& s, SignedUpdateTest&) { s["x.so"][3] ^= 1; },
               UpdateModuleFailed, "its SHA-256 differs"},
        Attack{"ModuleOneByteLonger", [](Served& s, SignedUpdateTest&) { s["x.so"] += "!"; },
               UpdateModuleFailed, "but the manifest vouches for 11"},
        Attack{"ManifestEditedAfterSigning",
               [](Served& s, SignedUpdateTest&) {
                   s["autoupdate.txt"].replace(s["autoupdate.txt"].find("version=2.0"), 11,
                                               "version=2.1");
               },
               UpdateManifestFailed, "not signed by a key this program folder trusts"},
        Attack{"SignatureMissing",
               [](Served& s, SignedUpdateTest&) { s.erase("autoupdate.txt.sig"); },
               UpdateManifestFailed, "accepts only signed updates"},
        Attack{"SignedByAnotherKey",
               [](Served& s, SignedUpdateTest& test) {
                   std::ostringstream said;
                   std::string error;
                   const std::filesystem::path other = test.keyFile().string() + "-other";
                   GenerateKeyPair(other, said, error);
                   s = test.Publish("2.0", "version 2.0", std::nullopt, other);
               },
               UpdateManifestFailed, "not signed by a key this program folder trusts"},
        Attack{"FilesWithoutSizeOrHash",
               [](Served& s, SignedUpdateTest& test) {
                   s = test.SignAsIs(
                       "[Main]\nfilecount=1\n[File1]\nfilename=x.so\nversion=2.0\n"
                       "moduletype=1\n",
                       "version 2.0");
               },
               UpdateModuleFailed, "must give size and sha256"},
        // A long line read as a header by one reader and as an entry by the other.
        Attack{"OverlongLineOpeningASection",
               [](Served& s, SignedUpdateTest& test) {
                   s = test.SignAsIs(SplitManifest("[" + std::string(2998, 'n') + "]", ""),
                                     "attacker!");
               },
               UpdateManifestFailed, "longer than 2047 bytes"},
        Attack{"OverlongLineEndingAsAHeader",
               [](Served& s, SignedUpdateTest& test) {
                   s = test.SignAsIs(
                       SplitManifest("[File1" + std::string(2100, ']') + "x", "[Notes]\n"),
                       "attacker!");
               },
               UpdateManifestFailed, "longer than 2047 bytes"},
        SignedWith("Expired", "expires=2001-01-01T00:00:00Z", "expired at 2001-01-01"),
        SignedWith("MonthNinetyNine", "expires=2020-99-01T00:00:00Z", "is not a real date"),
        SignedWith("ThirtiethOfFebruary", "expires=2099-02-30T00:00:00Z", "is not a real date"),
        SignedWith("SecondMinusOne", "expires=2099-01-01T00:00:-1Z", "is not a real date"),
        SignedWith("SerialNotANumber", "serial=12abc", "is not a number")),
    [](const auto& attack) { return std::string(attack.param.name); });

// A signed count far beyond the signed sections: the sections there install,
// the rest are left out, at once.
TEST_F(SignedUpdateTest, HugeSignedFileCountsInstallTheSectionsThere) {
    int release = 1;
    for (const char* count : {"2147483647", "4294967297", "99999999999"}) {
        const std::string version = std::to_string(++release) + ".0";
        const std::string module = "version " + version;
        EXPECT_EQ(RunServing(SignAsIs(std::string("[Main]\nfilecount=") + count +
                                          "\n[File1]\nfilename=x.so\nversion=" + version +
                                          "\nmoduletype=1\nsize=" + std::to_string(module.size()) +
                                          "\nsha256=" + Sha256Of(module) + "\n",
                                      module)),
                  UpdateSucceeded)
            << count;
        EXPECT_EQ(TempFolder::Read(program() / "x.so"), module) << count;
    }
    for (const char* count : {"-1", "-4294967297"}) {
        EXPECT_EQ(RunServing(SignAsIs(std::string("[Main]\nfilecount=") + count +
                                          "\n[File1]\nfilename=x.so\nversion=9\n",
                                      "nine")),
                  UpdateUpToDate)
            << count;
    }
}

TEST_F(SignedUpdateTest, UntrustedSignatureNamesTheTrustedKeys) {
    std::ostringstream said;
    std::string error;
    const std::filesystem::path other = keyFile().string() + "-other";
    ASSERT_TRUE(GenerateKeyPair(other, said, error));
    const Served served = Publish("2.0", "version 2.0", std::nullopt, other);
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(EndedWith(RunServing(served), UpdateManifestFailed,
                          "not signed by a key this program folder trusts"));
    const std::string told = ::testing::internal::GetCapturedStderr();
    std::string readError;
    const PublicKey trusted = *ReadPublicKeyFile(keyFile().string() + ".pub", readError);
    EXPECT_NE(
        told.find("not signed by a key this program folder trusts (" + Fingerprint(trusted) + ")"),
        std::string::npos)
        << told;
}

// What a careless administrator leaves at data/update-keys.
struct KeyFileMistake {
    const char* name;
    std::function<void(SignedUpdateTest&, const std::filesystem::path& keysFile)> make;
};

class KeyFileMistakeTest : public SignedUpdateTest,
                           public ::testing::WithParamInterface<KeyFileMistake> {};

TEST_P(KeyFileMistakeTest, RefusesEvenAnUnsignedManifestAndSaysWhy) {
    const std::filesystem::path keysFile = UpdateKeysPath(program());
    std::filesystem::remove(keysFile);
    GetParam().make(*this, keysFile);
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(EndedWith(RunServing({{"autoupdate.txt",
                                       "[Main]\nfilecount=1\n[File1]\nfilename=x.so\nversion=2.0\n"
                                       "moduletype=1\n"},
                                      {"x.so", "unvouched"}}),
                          UpdateManifestFailed, "accepts only signed updates until it is mended"));
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(keysFile.string()), std::string::npos);
    ExpectUnchanged();
}

void WriteKeys(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, KeyFileMistakeTest,
    ::testing::Values(KeyFileMistake{"ByteOrderMark",
                                     [](SignedUpdateTest& test, const std::filesystem::path& keys) {
                                         WriteKeys(keys,
                                                   "\xEF\xBB\xBF" + test.PublicKeyLine() + "\n");
                                     }},
                      KeyFileMistake{"DroppedCharacter",
                                     [](SignedUpdateTest& test, const std::filesystem::path& keys) {
                                         WriteKeys(keys, test.PublicKeyLine().substr(1) + "\n");
                                     }},
                      KeyFileMistake{"SecretKeyPasted",
                                     [](SignedUpdateTest& test, const std::filesystem::path& keys) {
                                         WriteKeys(keys, TempFolder::Read(test.keyFile()));
                                     }},
                      KeyFileMistake{"Utf16Text",
                                     [](SignedUpdateTest& test, const std::filesystem::path& keys) {
                                         std::string wide = "\xFF\xFE";
                                         for (char c : test.PublicKeyLine() + "\n")
                                             wide += std::string{c, '\0'};
                                         WriteKeys(keys, wide);
                                     }},
                      KeyFileMistake{"WordInFront",
                                     [](SignedUpdateTest& test, const std::filesystem::path& keys) {
                                         WriteKeys(keys, "key: " + test.PublicKeyLine() + "\n");
                                     }},
                      KeyFileMistake{"Folder",
                                     [](SignedUpdateTest&, const std::filesystem::path& keys) {
                                         std::filesystem::create_directory(keys);
                                     }},
                      KeyFileMistake{"DanglingLink",
                                     [](SignedUpdateTest&, const std::filesystem::path& keys) {
                                         std::filesystem::create_symlink(
                                             keys.parent_path() / "gone.pub", keys);
                                     }},
                      KeyFileMistake{"EmptyFile",
                                     [](SignedUpdateTest&, const std::filesystem::path& keys) {
                                         WriteKeys(keys, "");
                                     }},
                      KeyFileMistake{"OnlyComments",
                                     [](SignedUpdateTest&, const std::filesystem::path& keys) {
                                         WriteKeys(keys, "# the publisher's key goes here\n\n");
                                     }}),
    [](const auto& mistake) { return std::string(mistake.param.name); });

// Spellings that are plainly the same key keep working.
class KeySpellingTest : public SignedUpdateTest,
                        public ::testing::WithParamInterface<KeyFileMistake> {};

TEST_P(KeySpellingTest, IsTrusted) {
    const std::filesystem::path keysFile = UpdateKeysPath(program());
    std::filesystem::remove(keysFile);
    GetParam().make(*this, keysFile);
    EXPECT_EQ(RunServing(Publish("2.0", "version 2.0")), UpdateSucceeded);
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "version 2.0");
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, KeySpellingTest,
    ::testing::Values(KeyFileMistake{"CarriageReturns",
                                     [](SignedUpdateTest& test, const std::filesystem::path& keys) {
                                         WriteKeys(keys,
                                                   "# keys\r\n" + test.PublicKeyLine() + "\r\n");
                                     }},
                      KeyFileMistake{"BlanksAround",
                                     [](SignedUpdateTest& test, const std::filesystem::path& keys) {
                                         WriteKeys(keys, " \t" + test.PublicKeyLine() + "  \n");
                                     }},
                      KeyFileMistake{"TrailingComment",
                                     [](SignedUpdateTest& test, const std::filesystem::path& keys) {
                                         WriteKeys(keys, test.PublicKeyLine() + " # release key\n");
                                     }},
                      KeyFileMistake{"NoFinalLineFeed",
                                     [](SignedUpdateTest& test, const std::filesystem::path& keys) {
                                         WriteKeys(keys, test.PublicKeyLine());
                                     }},
                      KeyFileMistake{"LinkToTheKeyFile",
                                     [](SignedUpdateTest& test, const std::filesystem::path& keys) {
                                         std::filesystem::create_symlink(
                                             test.keyFile().string() + ".pub", keys);
                                     }}),
    [](const auto& spelling) { return std::string(spelling.param.name); });

// A later release accepted in any way makes every older manifest a replay,
// even when the later one installed nothing.
struct LaterRelease {
    const char* name;
    std::function<RunOutcome(SignedUpdateTest&)> run;
    UpdateResult result;
};

class ReplayTest : public SignedUpdateTest, public ::testing::WithParamInterface<LaterRelease> {};

TEST_P(ReplayTest, OlderManifestIsRefusedAfterwards) {
    const Served older = Publish("2.0", "version 2.0", 100);
    EXPECT_EQ(GetParam().run(*this), GetParam().result);
    EXPECT_EQ(ReadAcceptedSerial(program()), 200);
    EXPECT_TRUE(EndedWith(RunServing(older), UpdateManifestFailed, "an old manifest was replayed"));
    ExpectUnchanged();
}

INSTANTIATE_TEST_SUITE_P(
    Releases, ReplayTest,
    ::testing::Values(
        LaterRelease{
            "Withdrawal",
            [](SignedUpdateTest& test) {
                test.site.Write("w/autoupdate.txt", "[Main]\nfilecount=0\n");
                std::ostringstream said;
                std::string error;
                EXPECT_TRUE(
                    PublishSite({test.site.Path() / "w", test.keyFile(), 200, {}, publishedAt, {}},
                                said, error))
                    << error;
                return test.RunServing(
                    {{"autoupdate.txt", TempFolder::Read(test.site.Path() / "w/autoupdate.txt")},
                     {"autoupdate.txt.sig",
                      TempFolder::Read(test.site.Path() / "w/autoupdate.txt.sig")}},
                    true);
            },
            UpdateUpToDate},
        LaterRelease{"Declined",
                     [](SignedUpdateTest& test) {
                         return test.RunServing(test.Publish("3.0", "version 3.0", 200), false);
                     },
                     UpdateNotCompleted},
        LaterRelease{"FailedPartWay",
                     [](SignedUpdateTest& test) {
                         Served later = test.Publish("3.0", "version 3.0", 200);
                         later["x.so"][0] ^= 1;
                         return test.RunServing(later, true);
                     },
                     UpdateModuleFailed}),
    [](const auto& release) { return std::string(release.param.name); });

TEST_F(SignedUpdateTest, FolderThatTookSignedUpdatesRefusesWhenItsKeysAreGone) {
    ASSERT_EQ(RunServing(Publish("2.0", "version 2.0")), UpdateSucceeded);
    std::filesystem::remove(UpdateKeysPath(program()));
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(EndedWith(RunServing({{"autoupdate.txt",
                                       "[Main]\nfilecount=1\n[File1]\nfilename=x.so\nversion=3.0\n"
                                       "moduletype=1\n"},
                                      {"x.so", "unvouched"}}),
                          UpdateManifestFailed, "trusts no key now"));
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("has accepted signed updates"),
              std::string::npos);
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "version 2.0");
}

TEST_F(SignedUpdateTest, DamagedStoredSerialIsACatalogueError) {
    {
        SqlCipherDatabase database(CatalogPath(program()));
        WriteAcceptedSerial(database, 5);
        database.Execute("UPDATE [updatestate] SET value = 'five' WHERE name = 'serial'");
    }
    EXPECT_THROW(
        {
            try {
                RunServing(Publish("2.0", "version 2.0"));
            } catch (const CatalogError& error) {
                EXPECT_NE(std::string(error.what()).find("damaged update serial"),
                          std::string::npos);
                throw;
            }
        },
        CatalogError);
    ExpectUnchanged();
}

TEST_F(SignedUpdateTest, CatalogueBehindASymbolicLinkCannotBeLockedAndIsRefused) {
    const std::filesystem::path real = folder.Path() / "elsewhere.dat";
    std::filesystem::rename(CatalogPath(program()), real);
    std::filesystem::create_symlink(real, CatalogPath(program()));
    EXPECT_THROW(RunServing(Publish("2.0", "version 2.0")), CatalogError);
    ExpectUnchanged();
}

TEST_F(SignedUpdateTest, ModuleLargerThanItsSignedSizeSaysSo) {
    Served served = Publish("2.0", "version 2.0");
    served["x.so"] = "version 2.0 and more";
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunServing(served), UpdateModuleFailed);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(
                  "the server sends 20 bytes, but the manifest vouches for 11"),
              std::string::npos);
    ExpectUnchanged();
}

TEST_F(SignedUpdateTest, ReleasesWrittenAfreshFromATemplateBothInstall) {
    // Each release writes autoupdate.txt anew from the same template, serial
    // line and all, and publishes it a day after the last.
    const auto publishLive = [this](std::time_t day) {
        std::ostringstream said;
        std::string error;
        EXPECT_TRUE(PublishSite({site.Path() / "live", keyFile(), {}, {}, publishedAt + day, {}},
                                said, error))
            << error;
        return Served{
            {"autoupdate.txt", TempFolder::Read(site.Path() / "live/autoupdate.txt")},
            {"autoupdate.txt.sig", TempFolder::Read(site.Path() / "live/autoupdate.txt.sig")},
            {"x.so", TempFolder::Read(site.Path() / "live/x.so")}};
    };
    const auto release = [&](const std::string& version, std::time_t day) {
        site.Write("live/x.so", "version " + version);
        site.Write("live/autoupdate.txt",
                   "[Main]\nserial=1\nfilecount=1\n[File1]\nfilename=x.so\n"
                   "version=" +
                       version + "\nmoduletype=1\n");
        return publishLive(day);
    };
    const Served first = release("2.0", 0);
    EXPECT_EQ(RunServing(first), UpdateSucceeded);
    EXPECT_EQ(RunServing(release("3.0", 86400)), UpdateSucceeded);
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "version 3.0");
    // The site restored from the first release's backup is a replay; once
    // republished it is accepted again (and has nothing newer).
    EXPECT_TRUE(EndedWith(RunServing(first), UpdateManifestFailed, "an old manifest was replayed"));
    site.Write("live/autoupdate.txt", first.at("autoupdate.txt"));
    site.Write("live/x.so", first.at("x.so"));
    EXPECT_EQ(RunServing(publishLive(2 * 86400)), UpdateUpToDate);
    EXPECT_EQ(ReadAcceptedSerial(program()), publishedAt + 2 * 86400);
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "version 3.0");
}

TEST_F(SignedUpdateTest, UnsignedDesignedManifestInstallsWhenNoKeyIsTrusted) {
    std::filesystem::remove(UpdateKeysPath(program()));
    EXPECT_EQ(RunServing({{"autoupdate.txt",
                           "[Main]\r\nfilecount=1\r\n[File1]\r\nfilename=x.so\r\nversion=2.0\r\n"
                           "moduletype=1\r\n"},
                          {"x.so", "version 2.0"}}),
              UpdateSucceeded);
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "version 2.0");
}

TEST_F(SignedUpdateTest, HashIsCheckedEvenWithoutATrustedKey) {
    std::filesystem::remove(UpdateKeysPath(program()));
    Served served = Publish("2.0", "version 2.0");
    served["x.so"][0] ^= 1;
    EXPECT_EQ(RunServing(served), UpdateModuleFailed);
    ExpectUnchanged();
}

}  // namespace

namespace {

// A signed downgrade=yes sends the file back to an older version; the
// serial still rises, so the newer manifest can never come back as a replay.
TEST_F(SignedUpdateTest, ASignedDowngradeSendsTheFileBackAndNothingElseDoes) {
    const auto manifest = [](const std::string& version, const std::string& extra) {
        return "[Main]\nfilecount=1\n[File1]\nfilename=x.so\nversion=" + version +
               "\nmoduletype=1\nauthor=Dorsk\nmodulename=x\n" + extra;
    };
    const auto publish = [&](const std::string& name, const std::string& version,
                             const std::string& extra, long long serial) {
        site.Write(name + "/x.so", "version " + version);
        site.Write(name + "/autoupdate.txt", manifest(version, extra));
        std::ostringstream said;
        std::string error;
        const bool done =
            PublishSite({site.Path() / name, keyFile(), serial, {}, publishedAt, {}}, said, error);
        return done ? Served{{"autoupdate.txt",
                              TempFolder::Read(site.Path() / name / "autoupdate.txt")},
                             {"autoupdate.txt.sig",
                              TempFolder::Read(site.Path() / name / "autoupdate.txt.sig")},
                             {"x.so", "version " + version}}
                    : Served{{"error", error}};
    };
    const Served newer = publish("newer", "2.0", "", 10);
    ASSERT_EQ(RunServing(newer), UpdateSucceeded);
    EXPECT_EQ(RunServing(publish("plain", "1.5", "", 11)), UpdateUpToDate)
        << "older without downgrade=yes";
    EXPECT_EQ(RunServing(publish("back", "1.5", "downgrade=yes\n", 12)), UpdateSucceeded);
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "version 1.5");
    EXPECT_EQ(Row(1, "x.so"), "Dorsk|x.so|x|1.5");
    EXPECT_EQ(RunServing(publish("again", "1.5", "downgrade=yes\n", 13)), UpdateUpToDate)
        << "the same stays";
    EXPECT_TRUE(EndedWith(RunServing(newer), UpdateManifestFailed, "an old manifest was replayed"))
        << "the newer manifest is a replay now";
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "version 1.5");

    const Served malformed = publish("maybe", "1.0", "downgrade=maybe\n", 14);
    EXPECT_NE(malformed.at("error").find("[File1] downgrade \"maybe\" is neither yes nor no"),
              std::string::npos)
        << malformed.at("error");
    // Where nothing is signed, downgrade=yes ends the check pass.
    std::filesystem::remove(program() / "data/update-keys");
    std::filesystem::remove(program() / "data/module.dat");
    CreateCatalog(program());
    Register(1, "x.so", "2.0");
    EXPECT_EQ(RunServing({{"autoupdate.txt", manifest("1.0", "downgrade=yes\n")},
                          {"x.so", "version 1.0"}}),
              UpdateModuleFailed);
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "version 1.5");
}

}  // namespace
