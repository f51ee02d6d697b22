// Key lists against a real server and a real catalogue: a site moves from one
// key to thresholds of root and release keys without touching a desktop,
// revokes and rotates keys, and every attack on the chain or the manifest's
// signers fails closed with its reason, installing nothing.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "catalog/update_state.h"
#include "catalogue_fixture.h"
#include "publish/publish.h"
#include "publish/site_keys.h"
#include "trust/key_chain.h"
#include "trust/key_files.h"
#include "update_server.h"

namespace {

constexpr std::time_t day = 24 * 3600;

class KeyRotationTest : public CatalogueFixture {
public:
    // The secret key file of name, made on first use.
    std::filesystem::path Secret(const std::string& name) {
        const std::filesystem::path file = keys.Path() / name;
        if (!std::filesystem::exists(file)) {
            std::ostringstream told;
            std::string error;
            EXPECT_TRUE(GenerateKeyPair(file, told, error)) << error;
        }
        return file;
    }
    std::vector<std::filesystem::path> Secrets(const std::vector<std::string>& names) {
        std::vector<std::filesystem::path> files;
        for (const std::string& name : names) files.push_back(Secret(name));
        return files;
    }
    std::vector<PublicKey> Publics(const std::vector<std::string>& names) {
        std::vector<PublicKey> publics;
        std::string error;
        for (const std::filesystem::path& file : Secrets(names))
            publics.push_back(PublicHalf(*ReadSecretKeyFile(file, error)));
        return publics;
    }

    // The first list: desktops pin A; roots R1-R3 and release keys K1-K3, two of each.
    KeyListChange Init() {
        KeyListChange change;
        change.kind = KeyListChange::Kind::Init;
        change.pinned = Publics({"A"});
        change.roots = Publics({"R1", "R2", "R3"});
        change.releases = Publics({"K1", "K2", "K3"});
        change.rootThreshold = 2;
        change.releaseThreshold = 2;
        return change;
    }
    void Propose(KeyListChange change, const std::vector<std::string>& signers) {
        std::string error;
        ASSERT_TRUE(ProposeKeyList(site.Path(), change, Secrets(signers), said, error)) << error;
    }
    void MoveToKeyList() { Propose(Init(), {"A", "R1", "R2"}); }

    // x.so at version, published with signers.
    void Release(const std::string& version, const std::vector<std::string>& signers) {
        site.Write("x.so", "version " + version);
        site.Write("autoupdate.txt", "[Main]\nfilecount=1\n[File1]\nfilename=x.so\nversion=" +
                                         version + "\nmoduletype=1\nauthor=Dorsk\nmodulename=x\n");
        const std::vector<std::filesystem::path> files = Secrets(signers);
        std::string error;
        ASSERT_TRUE(PublishSite(
            {site.Path(), files.front(), std::nullopt, {}, 0, {files.begin() + 1, files.end()}},
            said, error))
            << error;
    }
    // The manifest re-signed by signers exactly as the lines say, as an
    // attacker holding those keys would sign it.
    void Resign(const std::vector<std::string>& signers) {
        const std::string manifest = TempFolder::Read(site.Path() / "autoupdate.txt");
        std::string signatures;
        std::string error;
        for (const std::filesystem::path& file : Secrets(signers)) {
            const SecretKey secret = *ReadSecretKeyFile(file, error);
            signatures += FormatSignatureLine(PublicHalf(secret), Sign(manifest, secret));
        }
        site.Write("autoupdate.txt.sig", signatures);
    }

    struct Outcome {
        int result = -1;
        std::string reason;
        bool installed = false;
    };
    // One run against everything below the site folder.
    Outcome Run() {
        UpdateServer server;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(site.Path()))
            if (entry.is_regular_file())
                server.Put(entry.path().lexically_relative(site.Path()).generic_string(),
                           TempFolder::Read(entry.path()));
        RecordingOwner owner(true);
        UpdateEngine engine(environment);
        engine.AttachDialog(&owner);
        Outcome outcome;
        outcome.result = engine.RunUpdate(server.BaseUrl());
        outcome.reason = engine.FailureReason();
        outcome.installed = TempFolder::Read(program() / "x.so") != "version 1.0";
        return outcome;
    }
    long long HeldVersion() {
        const std::optional<std::string> text = ReadAcceptedKeyList(program());
        std::string error;
        return text ? ParseKeyList(*text, "held", error)->version : 0;
    }

    void SetUp() override {
        const PublicKey pinned = Publics({"A"}).front();
        folder.Write("program/data/update-keys", ToBase64(pinned.data(), pinned.size()) + "\n");
        Register(1, "x.so", "1.0");
        folder.Write("program/x.so", "version 1.0");
    }

    TempFolder site;
    TempFolder keys;
    std::ostringstream said;
};

TEST_F(KeyRotationTest, ASiteMovesToTwoOfThreeAndRevokesWithoutTouchingADesktop) {
    MoveToKeyList();
    ASSERT_TRUE(std::filesystem::exists(site.Path() / "keys/1.txt")) << said.str();
    // Publish with one signer, then a second signs on another machine.
    Release("2.0", {"K1"});
    EXPECT_NE(said.str().find("desktops refuse it until 1 more sign"), std::string::npos)
        << said.str();
    std::string error;
    ASSERT_TRUE(SignManifest(site.Path(), Secret("K2"), "stable", said, error)) << error;
    Outcome outcome = Run();
    EXPECT_EQ(outcome.result, UpdateSucceeded) << outcome.reason;
    EXPECT_TRUE(outcome.installed);
    EXPECT_EQ(HeldVersion(), 1);

    // K1 is stolen: two roots revoke it; the thief's signature no longer counts.
    KeyListChange revoke;
    revoke.kind = KeyListChange::Kind::Remove;
    revoke.releases = Publics({"K1"});
    Propose(revoke, {"R1"});
    EXPECT_FALSE(std::filesystem::exists(site.Path() / "keys/2.txt")) << "one root is not enough";
    ASSERT_TRUE(SignKeyList(site.Path(), Secret("R3"), said, error)) << error;
    ASSERT_TRUE(std::filesystem::exists(site.Path() / "keys/2.txt")) << said.str();
    EXPECT_FALSE(PublishSite({site.Path(), Secret("K1"), std::nullopt, {}, 0, {}}, said, error));
    EXPECT_NE(error.find("is no release key of key list 2"), std::string::npos) << error;
    Release("3.0", {"K2", "K3"});
    Resign({"K1", "K2"});
    outcome = Run();
    EXPECT_EQ(outcome.result, UpdateManifestFailed);
    EXPECT_NE(outcome.reason.find(
                  "has 1 of the 2 signatures it needs from the release keys of key list 2"),
              std::string::npos)
        << outcome.reason;
    EXPECT_EQ(HeldVersion(), 2) << "the revocation holds though the run failed";
    Resign({"K2", "K3"});
    EXPECT_EQ(Run().result, UpdateSucceeded);
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "version 3.0");
}

TEST_F(KeyRotationTest, ADesktopThatMissedSeveralListsWalksThemAll) {
    MoveToKeyList();
    KeyListChange change;
    change.kind = KeyListChange::Kind::Renew;
    Propose(change, {"R1", "R2"});
    // R1 is lost: the others rotate to new roots.
    change.kind = KeyListChange::Kind::Rotate;
    change.roots = Publics({"R2", "R3", "R4"});
    Propose(change, {"R2", "R3"});
    change.kind = KeyListChange::Kind::Remove;
    change.roots.clear();
    change.releases = Publics({"K3"});  // a lost release key; K1 and K2 carry on
    Propose(change, {"R3", "R4"});
    Release("2.0", {"K1", "K2"});
    const Outcome outcome = Run();
    EXPECT_EQ(outcome.result, UpdateSucceeded) << outcome.reason;
    EXPECT_EQ(HeldVersion(), 4);
}

TEST_F(KeyRotationTest, ASiteWithoutListsUpdatesWhateverItAnswersForThem) {
    int minor = 0;
    for (const int status : {404, 403, 410}) {
        Release("2." + std::to_string(minor++), {"A"});
        UpdateServer server;
        for (const char* name : {"autoupdate.txt", "autoupdate.txt.sig", "x.so"})
            server.Put(name, TempFolder::Read(site.Path() / name));
        server.Fail("keys/1.txt", status);
        RecordingOwner owner(true);
        UpdateEngine engine(environment);
        engine.AttachDialog(&owner);
        EXPECT_EQ(engine.RunUpdate(server.BaseUrl()), UpdateSucceeded)
            << status << ": " << engine.FailureReason();
        EXPECT_EQ(server.Requests().front(), "/update/keys/1.txt");
    }
    const std::string signatures = TempFolder::Read(site.Path() / "autoupdate.txt.sig");
    EXPECT_EQ(signatures.find(' '), std::string::npos)
        << "one key and no list: the bare signature every release reads";
}

TEST_F(KeyRotationTest, AFolderCanPinAKeyListItself) {
    MoveToKeyList();
    folder.Write("program/data/update-keys", TempFolder::Read(site.Path() / "keys/1.txt"));
    Release("2.0", {"K1"});
    Resign({"A"});
    Outcome outcome = Run();
    EXPECT_EQ(outcome.result, UpdateManifestFailed);
    EXPECT_NE(outcome.reason.find("has 0 of the 2 signatures"), std::string::npos)
        << outcome.reason;
    Resign({"K3", "K2"});
    outcome = Run();
    EXPECT_EQ(outcome.result, UpdateSucceeded) << outcome.reason;
    EXPECT_EQ(HeldVersion(), 0) << "nothing newer than the pinned list was walked";
}

TEST_F(KeyRotationTest, ThePublisherRefusesWhatADesktopWouldRefuse) {
    std::string error;
    MoveToKeyList();
    struct Case {
        const char* name;
        std::function<bool(KeyRotationTest&, std::string&)> attempt;
        const char* reason;
    };
    const Case cases[] = {
        {"a signer that is no root",
         [](KeyRotationTest& t, std::string& e) {
             KeyListChange c;
             return ProposeKeyList(t.site.Path(), c, t.Secrets({"K1"}), t.said, e);
         },
         "is a root key of neither"},
        {"a threshold above the keys",
         [](KeyRotationTest& t, std::string& e) {
             KeyListChange c;
             c.kind = KeyListChange::Kind::Remove;
             c.releases = t.Publics({"K2", "K3"});
             return ProposeKeyList(t.site.Path(), c, {}, t.said, e);
         },
         "release-threshold 2 is above its 1 release keys"},
        {"a second start",
         [](KeyRotationTest& t, std::string& e) {
             return ProposeKeyList(t.site.Path(), t.Init(), {}, t.said, e);
         },
         "has key list 1 already"},
        {"removing a key that is not there",
         [](KeyRotationTest& t, std::string& e) {
             KeyListChange c;
             c.kind = KeyListChange::Kind::Remove;
             c.roots = t.Publics({"K1"});
             return ProposeKeyList(t.site.Path(), c, {}, t.said, e);
         },
         "is no root key of key list 1"},
        {"signing a manifest twice with one key",
         [](KeyRotationTest& t, std::string& e) {
             t.Release("2.0", {"K1"});
             return SignManifest(t.site.Path(), t.Secret("K1"), "stable", t.said, e);
         },
         "has signed"},
    };
    for (const Case& c : cases) {
        error.clear();
        EXPECT_FALSE(c.attempt(*this, error)) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
        EXPECT_FALSE(std::filesystem::exists(site.Path() / "keys/2.txt")) << c.name;
    }
}

// Each attack changes a site that moved to key list 1 and published 2.0
// signed by K1 and K2; the desktop must refuse it for the reason given.
struct Attack {
    const char* name;
    std::function<void(KeyRotationTest&)> change;
    const char* reason;
};

class KeyListAttackTest : public KeyRotationTest, public ::testing::WithParamInterface<Attack> {};

TEST_P(KeyListAttackTest, FailsClosedWithItsReason) {
    MoveToKeyList();
    Release("2.0", {"K1", "K2"});
    GetParam().change(*this);
    const Outcome outcome = Run();
    EXPECT_EQ(outcome.result, UpdateManifestFailed) << outcome.reason;
    EXPECT_NE(outcome.reason.find(GetParam().reason), std::string::npos) << outcome.reason;
    EXPECT_FALSE(outcome.installed);
}

// Writes keys/<version>.txt as given, signed by signers.
void ForgeList(KeyRotationTest& t, long long fileVersion, KeyList list,
               const std::vector<std::string>& signers) {
    const std::string text = FormatKeyList(list);
    std::string signatures;
    std::string error;
    for (const std::filesystem::path& file : t.Secrets(signers)) {
        const SecretKey secret = *ReadSecretKeyFile(file, error);
        signatures += FormatSignatureLine(PublicHalf(secret), Sign(text, secret));
    }
    const std::string name = "keys/" + std::to_string(fileVersion) + ".txt";
    t.site.Write(name, text);
    t.site.Write(name + ".sig", signatures);
}

KeyList ListOne(KeyRotationTest& t) {
    std::string error;
    return *ParseKeyList(TempFolder::Read(t.site.Path() / "keys/1.txt"), "1", error);
}

// The thief's own list: his key as root and release key.
KeyList ThiefsList(KeyRotationTest& t, long long version) {
    KeyList list = ListOne(t);
    list.version = version;
    list.roots = t.Publics({"R1", "T"});
    list.rootThreshold = 1;
    list.releases = t.Publics({"T"});
    list.releaseThreshold = 1;
    return list;
}

INSTANTIATE_TEST_SUITE_P(
    Attacks, KeyListAttackTest,
    ::testing::Values(
        Attack{"OneOfTwoReleaseKeys", [](KeyRotationTest& fixture) { fixture.Resign({"K1"}); },
               "has 1 of the 2 signatures it needs from the release keys of key list 1"},
        Attack{"OneKeyTwice",
               [](KeyRotationTest& fixture) {
                   fixture.Resign({"K1", "K1"});
               },
               "has 1 of the 2 signatures it needs from the release keys"},
        Attack{"KeysOutsideTheList",
               [](KeyRotationTest& fixture) {
                   fixture.Resign({"A", "R1"});
               },
               "has 0 of the 2 signatures it needs from the release keys"},
        Attack{"RootChangeByTooFewOldRoots",
               [](KeyRotationTest& fixture) {
                   ForgeList(fixture, 2, ThiefsList(fixture, 2), {"R1", "T"});
               },
               "keys/2.txt has 1 of the 2 signatures it needs from the root keys of key list 1"},
        Attack{"RootChangeNotAcceptedByItsOwnRoots",
               [](KeyRotationTest& fixture) {
                   KeyList list = ThiefsList(fixture, 2);
                   list.rootThreshold = 2;
                   ForgeList(fixture, 2, list, {"R1", "R2"});
               },
               "keys/2.txt has 1 of the 2 signatures it needs from its own root keys"},
        Attack{"ListThatGoesBack",
               [](KeyRotationTest& fixture) {
                   ForgeList(fixture, 2, ListOne(fixture), {"R1", "R2"});
               },
               "says version 1 where 2 must follow key list 1"},
        Attack{"ChainWithAGap",
               [](KeyRotationTest& fixture) {
                   KeyList list = ListOne(fixture);
                   list.version = 3;
                   ForgeList(fixture, 2, list, {"R1", "R2"});
               },
               "the chain has a gap"},
        Attack{"ExpiredListReplayed",
               [](KeyRotationTest& fixture) {
                   KeyList list = ListOne(fixture);
                   list.version = 2;
                   list.expires = std::time(nullptr) - day;
                   ForgeList(fixture, 2, list, {"R1", "R2"});
               },
               "key list 2, the newest the site offers, expired at"},
        Attack{"NewManifestWithTheNewListWithheld",
               [](KeyRotationTest& fixture) {
                   KeyList list = ListOne(fixture);
                   list.version = 2;
                   ForgeList(fixture, 2, list, {"R1", "R2"});
                   fixture.Release("3.0", {"K1", "K2"});
                   std::filesystem::remove(fixture.site.Path() / "keys/2.txt");
               },
               "names key list 2, which the site does not offer"},
        Attack{"OldManifestWithANewList",
               [](KeyRotationTest& fixture) {
                   KeyList list = ListOne(fixture);
                   list.version = 2;
                   ForgeList(fixture, 2, list, {"R1", "R2"});
               },
               "signed under key list 1, but this program folder holds key list 2"},
        Attack{"OversizedList",
               [](KeyRotationTest& fixture) {
                   fixture.site.Write("keys/2.txt", std::string(70 << 10, '#'));
                   fixture.site.Write("keys/2.txt.sig", "");
               },
               "more than the 65536 this run accepts"},
        Attack{"ListWithoutSignatures",
               [](KeyRotationTest& fixture) {
                   KeyList list = ListOne(fixture);
                   list.version = 2;
                   ForgeList(fixture, 2, list, {});
               },
               "has 0 of the 2 signatures it needs from the root keys of key list 1"},
        Attack{"EndlessChain",
               [](KeyRotationTest& fixture) {
                   KeyList list = ListOne(fixture);
                   for (long long v = 2; v <= 2 + RunTrust::maxSteps; ++v) {
                       list.version = v;
                       ForgeList(fixture, v, list, {"R1", "R2"});
                   }
               },
               "offers more than 64 new key lists"}),
    [](const ::testing::TestParamInfo<Attack>& attack) { return std::string(attack.param.name); });

}  // namespace
