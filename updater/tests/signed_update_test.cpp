// Signed update sites against a real server and a real catalogue: a site
// published with a key the program folder trusts installs; every tampering
// on the way is refused with the right code and changes nothing.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

#include "catalog/update_state.h"
#include "catalogue_fixture.h"
#include "publish.h"
#include "update_server.h"

namespace {

// The files of a site as the server will send them.
using Served = std::map<std::string, std::string>;

class SignedUpdateTest : public CatalogueFixture {
public:
    // A site with module x.so at version, published (signed) with key.
    Served Publish(const std::string& version, const std::string& module,
                   const std::string& mainExtra = "", const std::filesystem::path& key = {}) {
        const std::filesystem::path dir = site.Path() / version;
        site.Write(version + "/x.so", module);
        site.Write(version + "/autoupdate.txt",
                   "[Main]\r\nfilecount=1\r\n" + mainExtra +
                       "[File1]\r\nfilename=x.so\r\nversion=" + version +
                       "\r\nmoduletype=1\r\nauthor=Dorsk\r\nmodulename=x\r\n");
        std::ostringstream said;
        std::string error;
        EXPECT_TRUE(PublishSite(dir, key.empty() ? keyFile() : key, said, error)) << error;
        return Served{{"autoupdate.txt", TempFolder::Read(dir / "autoupdate.txt")},
                      {"autoupdate.txt.sig", TempFolder::Read(dir / "autoupdate.txt.sig")},
                      {"x.so", module}};
    }

    std::filesystem::path keyFile() const { return keys.Path() / "publisher"; }

protected:
    int RunServing(const Served& served) {
        UpdateServer server;
        for (const auto& [name, bytes] : served) server.Put(name, bytes);
        RecordingOwner owner;
        return RunAgainst(server.BaseUrl(), owner);
    }

    void SetUp() override {
        std::ostringstream said;
        std::string error;
        ASSERT_TRUE(GenerateKeyPair(keyFile(), said, error)) << error;
        folder.Write("program/data/update-keys",
                     "# the publisher\n" + TempFolder::Read(keyFile().string() + ".pub"));
        Register(1, "x.so", "1.0");
        folder.Write("program/x.so", "version 1.0");
    }

    void ExpectUnchanged() {
        EXPECT_EQ(TempFolder::Read(program() / "x.so"), "version 1.0");
        EXPECT_EQ(Row(1, "x.so"), "old author|x.so|old name|1.0");
        EXPECT_TRUE(std::filesystem::is_empty(environment.tempRoot));
    }

    TempFolder site;
    TempFolder keys;
};

TEST_F(SignedUpdateTest, SignedSiteInstallsAndRemembersItsSerial) {
    EXPECT_EQ(RunServing(Publish("2.0", "version 2.0")), 0);
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "version 2.0");
    EXPECT_EQ(ReadAcceptedSerial(program()), 1);
}

struct Tampering {
    const char* name;
    std::function<void(Served&, SignedUpdateTest&)> change;
    int result;
};

class TamperingTest : public SignedUpdateTest, public ::testing::WithParamInterface<Tampering> {};

TEST_P(TamperingTest, IsRefusedAndChangesNothing) {
    Served served = Publish("2.0", "version 2.0");
    GetParam().change(served, *this);
    EXPECT_EQ(RunServing(served), GetParam().result);
    ExpectUnchanged();
}

INSTANTIATE_TEST_SUITE_P(
    Attacks, TamperingTest,
    ::testing::Values(
        Tampering{"FlippedByteInModule", [](Served& s, SignedUpdateTest&) { s["x.so"][3] ^= 1; },
                  4},
        Tampering{"ModuleOneByteLonger", [](Served& s, SignedUpdateTest&) { s["x.so"] += "!"; }, 4},
        Tampering{"ManifestEditedAfterSigning",
                  [](Served& s, SignedUpdateTest&) {
                      s["autoupdate.txt"].replace(s["autoupdate.txt"].find("version=2.0"), 11,
                                                  "version=2.1");
                  },
                  3},
        Tampering{"SignatureMissing",
                  [](Served& s, SignedUpdateTest&) { s.erase("autoupdate.txt.sig"); }, 3},
        Tampering{"SignedByAnotherKey",
                  [](Served& s, SignedUpdateTest& test) {
                      std::ostringstream said;
                      std::string error;
                      const std::filesystem::path other = test.keyFile().string() + "-other";
                      GenerateKeyPair(other, said, error);
                      s = test.Publish("2.0", "version 2.0", "", other);
                  },
                  3},
        Tampering{"Expired",
                  [](Served& s, SignedUpdateTest& test) {
                      s = test.Publish("2.0", "version 2.0", "expires=2001-01-01T00:00:00Z\r\n");
                  },
                  3},
        Tampering{"FilesWithoutSizeOrHash",
                  [](Served& s, SignedUpdateTest& test) {
                      // Signed, but the publisher's hash lines were taken out before signing.
                      std::string text = s["autoupdate.txt"];
                      text.erase(text.find("sha256="), text.find("\r\n", text.find("sha256=")) -
                                                           text.find("sha256=") + 2);
                      s["autoupdate.txt"] = text;
                      std::string error;
                      const std::string key = TempFolder::Read(test.keyFile());
                      SecretKey secret;
                      const auto bytes = FromBase64(key, secret.size());
                      std::copy(bytes->begin(), bytes->end(), secret.begin());
                      s["autoupdate.txt.sig"] = Sign(text, secret);
                  },
                  4}),
    [](const auto& tampering) { return std::string(tampering.param.name); });

TEST_F(SignedUpdateTest, ReplayedOlderManifestIsRefusedAfterANewerOne) {
    const Served first = Publish("2.0", "version 2.0");
    const Served second = Publish("3.0", "version 3.0", "serial=1\r\n");
    ASSERT_EQ(RunServing(second), 0);  // serial 2 accepted
    EXPECT_EQ(RunServing(first), 3);   // serial 1 replayed
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "version 3.0");
    EXPECT_EQ(Row(1, "x.so"), "Dorsk|x.so|x|3.0");
}

TEST_F(SignedUpdateTest, UnsignedDesignedManifestInstallsWhenNoKeyIsTrusted) {
    std::filesystem::remove(program() / "data" / "update-keys");
    Served served = Publish("2.0", "version 2.0");
    served.erase("autoupdate.txt.sig");
    served["autoupdate.txt"] =
        "[Main]\r\nfilecount=1\r\n[File1]\r\nfilename=x.so\r\nversion=2.0\r\nmoduletype=1\r\n";
    EXPECT_EQ(RunServing(served), 0);
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "version 2.0");
}

TEST_F(SignedUpdateTest, HashIsCheckedEvenWithoutATrustedKey) {
    std::filesystem::remove(program() / "data" / "update-keys");
    Served served = Publish("2.0", "version 2.0");
    served["x.so"][0] ^= 1;
    EXPECT_EQ(RunServing(served), 4);
    ExpectUnchanged();
}

TEST(PublishTest, KeepsEveryOtherByteAndRaisesTheSerial) {
    TempFolder site;
    TempFolder keys;
    std::ostringstream said;
    std::string error;
    ASSERT_TRUE(GenerateKeyPair(keys.Path() / "k", said, error)) << error;
    site.Write("a.so", "aaa");
    site.Write(
        "autoupdate.txt",
        "[Main]\nserial=41\nfilecount=1\n\n[File1]\r\nsize=1\r\nfilename=a.so\r\nnote=kept\r\n"
        "[File2]\nsize=9\n");
    ASSERT_TRUE(PublishSite(site.Path(), keys.Path() / "k", said, error)) << error;
    EXPECT_EQ(TempFolder::Read(site.Path() / "autoupdate.txt"),
              "[Main]\nserial=42\nfilecount=1\n\n[File1]\r\nsize=3\r\nsha256="
              "9834876dcfb05cb167a5c24953eba58c4ac89b1adf57f28f2f9d09af107ee8f0\r\n"
              "filename=a.so\r\nnote=kept\r\n[File2]\nsize=9\n");
    EXPECT_FALSE(GenerateKeyPair(keys.Path() / "k", said, error)) << "an existing key is kept";
}

}  // namespace
