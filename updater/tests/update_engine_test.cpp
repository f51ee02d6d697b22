// Whole update runs against a real server, a real SQLCipher catalogue and a
// temporary program folder.
#include "engine/update_engine.h"

#include <gtest/gtest.h>

#include "catalog/catalog_error.h"
#include "catalog/catalog_file.h"
#include "engine/connectivity.h"
#include "trust/module_path.h"
#include "catalogue_fixture.h"
#include "recording_owner.h"
#include "temp_folder.h"
#include "update_server.h"

namespace {

class Offline : public ConnectivityCheck {
public:
    bool IsConnected(const std::string&) override { return false; }
};

class UpdateEngineTest : public CatalogueFixture {
protected:
    RunOutcome Run(RecordingOwner& owner) { return RunAgainst(server.BaseUrl(), owner); }

    UpdateServer server;
};

TEST_F(UpdateEngineTest, NewerFilesAreInstalledAndRecorded) {
    Register(2, "LIBMORLIN.SO", "1.9");
    Register(0, "core.so", "3.0");
    folder.Write("program/libmorlin.so", "old library");
    server.Put("autoupdate.txt", Manifest({{"libmorlin.so", "1.10", 2, "", ""},
                                           {"face.so", "1.0", 1},
                                           {"core.so", "3.0.1", 0},
                                           {"same.so", "2", 0}}));
    Register(0, "same.so", "2.0.0");
    server.Put("libmorlin.so", "new library");
    server.Put("face.so", "detector");
    server.Put("core.so", "core 3.0.1");
    RecordingOwner owner;
    ASSERT_EQ(Run(owner), UpdateSucceeded);

    EXPECT_EQ(TempFolder::Read(program() / "libmorlin.so"), "new library");
    EXPECT_EQ(TempFolder::Read(program() / "face.so"), "detector");
    EXPECT_EQ(TempFolder::Read(program() / "core.so"), "core 3.0.1");
    EXPECT_FALSE(std::filesystem::exists(program() / "same.so"));
    // Found rows keep their key as stored and take the manifest's author and
    // module name, empty ones included.
    EXPECT_EQ(Row(2, "libmorlin.so"), "|LIBMORLIN.SO||1.10");
    EXPECT_EQ(Row(1, "face.so"), "Dorsk|face.so|module|1.0");
    EXPECT_EQ(Row(0, "core.so"), "core.so|3.0.1");
    EXPECT_EQ(Row(0, "same.so"), "same.so|2.0.0");

    ASSERT_EQ(owner.questions.size(), 1u);
    EXPECT_EQ(owner.questions[0],
              "人脸检测识别系统在线升级|人脸检测识别系统升级程序检测到新版本，是否升级?");
    EXPECT_EQ(owner.statusLines,
              (std::vector<std::string>{"正在下载文件:libmorlin.so", "正在下载文件:face.so",
                                        "正在下载文件:core.so"}));
    // The run's temporary folder is gone with everything in it.
    EXPECT_TRUE(std::filesystem::is_empty(environment.tempRoot));
}

TEST_F(UpdateEngineTest, VersionsDecideWhatIsPending) {
    Register(1, "a.so", "1.9");
    Register(1, "b.so", "1.0");
    Register(1, "c.so", "");
    Register(0, "d.so", "2.x");
    server.Put("autoupdate.txt", Manifest({{"a.so", "1.9.0", 1}, {"b.so", "1.0.0.1", 1}}));
    RecordingOwner owner(false);
    EXPECT_EQ(Run(owner), UpdateUpToDate);
    EXPECT_TRUE(owner.questions.empty());
    // A stored version that is empty or malformed is never pending, and the
    // run says which row to mend.
    server.Put("autoupdate.txt", Manifest({{"c.so", "0.1", 1}, {"d.so", "9", 0}}));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Run(owner), UpdateUpToDate);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(owner.questions.empty());
    EXPECT_NE(said.find("records version \"\" for c.so"), std::string::npos) << said;
    EXPECT_NE(said.find("records version \"2.x\" for d.so"), std::string::npos) << said;
    EXPECT_EQ(Row(1, "c.so"), "old author|c.so|old name|");
    // The others still install beside such a row.
    server.Put("autoupdate.txt", Manifest({{"c.so", "0.1", 1}, {"a.so", "2", 1}}));
    EXPECT_EQ(Run(owner), UpdateNotCompleted);
    ASSERT_EQ(owner.questions.size(), 1u);
}

TEST_F(UpdateEngineTest, EmptyManifestsEndWithSixWithoutTouchingTheCatalogue) {
    const std::string catalogue = TempFolder::Read(CatalogPath(program()));
    RecordingOwner owner;
    server.Put("autoupdate.txt", "[Main]\nfilecount=0\n");
    EXPECT_EQ(Run(owner), UpdateUpToDate);
    server.Put("autoupdate.txt", "[Other]\nx=1\n");
    EXPECT_EQ(Run(owner), UpdateUpToDate);
    EXPECT_TRUE(owner.questions.empty());
    EXPECT_EQ(TempFolder::Read(CatalogPath(program())), catalogue);
}

TEST_F(UpdateEngineTest, MissingCatalogueIsNamedBeforeAnythingIsFetched) {
    std::filesystem::remove(CatalogPath(program()));
    server.Put("autoupdate.txt", Manifest({{"a.so", "1", 1}}));
    RecordingOwner owner;
    try {
        Run(owner);
        ADD_FAILURE() << "no CatalogError";
    } catch (const CatalogError& error) {
        EXPECT_NE(std::string(error.what()).find("tarvex-cli catalog init"), std::string::npos)
            << error.what();
    }
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_FALSE(std::filesystem::exists(CatalogPath(program())));
}

TEST_F(UpdateEngineTest, EarlyEndsBeforeTheManifest) {
    RecordingOwner owner;
    UpdateEngine detached(environment);
    EXPECT_EQ(detached.RunUpdate(server.BaseUrl()), UpdateCannotStart);
    EXPECT_NE(detached.FailureReason().find("no owner is attached"), std::string::npos);
    EngineEnvironment noTemp = environment;
    noTemp.tempRoot = folder.Path() / "no such folder";
    UpdateEngine homeless(noTemp);
    homeless.AttachDialog(&owner);
    EXPECT_EQ(homeless.RunUpdate(server.BaseUrl()), UpdateCannotStart);
    EXPECT_NE(homeless.FailureReason().find("cannot make a temporary folder in"), std::string::npos)
        << homeless.FailureReason();

    Offline offline;
    EngineEnvironment offlineEnvironment = environment;
    offlineEnvironment.connectivity = &offline;
    UpdateEngine cut(offlineEnvironment);
    cut.AttachDialog(&owner);
    EXPECT_EQ(RunEngine(cut, server.BaseUrl()), UpdateNoConnection);

    EXPECT_EQ(Run(owner), UpdateRequestFailed);  // no manifest on the server
    server.Fail("autoupdate.txt", 500);
    EXPECT_EQ(Run(owner), UpdateRequestFailed);
    UpdateEngine longUrl(environment);
    longUrl.AttachDialog(&owner);
    EXPECT_EQ(RunEngine(longUrl, server.BaseUrl() + std::string(1100, 'a') + "/"),
              UpdateRequestFailed);
    // Only the two manifest requests above reached the server, never the long URL.
    ASSERT_EQ(server.Requests().size(), 2u);
    for (const std::string& path : server.Requests()) EXPECT_LT(path.size(), 100u) << path;
}

TEST_F(UpdateEngineTest, SecondRunOnOneEngineFindsNothingNewer) {
    server.Put("autoupdate.txt", Manifest({{"a.so", "1.1", 1}}));
    server.Put("a.so", "module a");
    RecordingOwner owner;
    UpdateEngine engine(environment);
    engine.AttachDialog(&owner);
    EXPECT_EQ(engine.RunUpdate(server.BaseUrl()), UpdateSucceeded);
    EXPECT_EQ(engine.RunUpdate(server.BaseUrl()), UpdateUpToDate);
    EXPECT_EQ(owner.questions.size(), 1u);
    EXPECT_EQ(owner.statusLines.size(), 1u);
}

TEST_F(UpdateEngineTest, BrokenManifestTransfersEndWithThree) {
    RecordingOwner owner;
    server.Put("autoupdate.txt", Manifest({{"a.so", "1", 1}}), UpdateServer::Mode::Chunked);
    EXPECT_TRUE(EndedWith(Run(owner), UpdateManifestFailed, "has no Content-Length"));
    server.Put("autoupdate.txt", std::string(50000, 'x'), UpdateServer::Mode::Truncated);
    EXPECT_TRUE(EndedWith(Run(owner), UpdateManifestFailed, "the transfer broke off"));
    EXPECT_TRUE(owner.questions.empty());
}

TEST_F(UpdateEngineTest, UnsupportedTypeEndsWithFourBeforeTheQuestion) {
    server.Put("autoupdate.txt", Manifest({{"a.so", "1", 1}, {"b.so", "1", 3}}));
    server.Put("a.so", "a");
    RecordingOwner owner;
    EXPECT_EQ(Run(owner), UpdateModuleFailed);
    EXPECT_TRUE(owner.questions.empty());
    EXPECT_FALSE(std::filesystem::exists(program() / "a.so"));
    EXPECT_EQ(Row(1, "a.so"), "");
}

TEST_F(UpdateEngineTest, NamesOutsideTheProgramFolderAreRefused) {
    for (const std::string bad :
         {"../evil.so", "/tmp/evil.so", "sub/../../evil.so", "C:\\evil.so", "..\\evil.so", ""}) {
        server.Put("autoupdate.txt", Manifest({{"fine.so", "1", 1}, {bad, "1", 1}}));
        RecordingOwner owner;
        EXPECT_EQ(Run(owner), UpdateModuleFailed) << bad;
        EXPECT_TRUE(owner.questions.empty()) << bad;
    }
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "evil.so"));
    for (const auto& path : server.Requests()) EXPECT_EQ(path, "/update/autoupdate.txt");
}

TEST_F(UpdateEngineTest, SubfolderNamesAndBackslashesInstallInsideTheProgramFolder) {
    server.Put("autoupdate.txt", Manifest({{"plugins\\detect.so", "1", 1}}));
    server.Put("plugins/detect.so", "in a subfolder");
    RecordingOwner owner;
    ASSERT_EQ(Run(owner), UpdateSucceeded);
    EXPECT_EQ(TempFolder::Read(program() / "plugins" / "detect.so"), "in a subfolder");
    EXPECT_EQ(Row(1, "plugins\\detect.so"), "Dorsk|plugins\\detect.so|module|1");
}

TEST_F(UpdateEngineTest, DeclinedUpgradeDownloadsNothing) {
    server.Put("autoupdate.txt", Manifest({{"a.so", "1", 1}, {"b.so", "1", 2}}));
    server.Put("a.so", "a");
    RecordingOwner owner(false);
    EXPECT_EQ(Run(owner), UpdateNotCompleted);
    EXPECT_EQ(owner.questions.size(), 1u);
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(Row(1, "a.so"), "");
}

TEST_F(UpdateEngineTest, SecondOfThreeFailingKeepsTheFirstAndLeavesTheThird) {
    server.Put("autoupdate.txt",
               Manifest({{"one.so", "1", 1}, {"two.so", "1", 1}, {"three.so", "1", 1}}));
    server.Put("one.so", "first");
    server.Put("two.so", std::string(10000, '2'), UpdateServer::Mode::Truncated);
    server.Put("three.so", "third");
    RecordingOwner owner;
    EXPECT_EQ(Run(owner), UpdateModuleFailed);
    EXPECT_EQ(TempFolder::Read(program() / "one.so"), "first");
    EXPECT_EQ(Row(1, "one.so"), "Dorsk|one.so|module|1");
    EXPECT_FALSE(std::filesystem::exists(program() / "two.so"));
    EXPECT_EQ(Row(1, "two.so"), "");
    EXPECT_FALSE(std::filesystem::exists(program() / "three.so"));
    EXPECT_EQ(owner.questions.size(), 1u);

    // An error page for a module is never installed either.
    server.Fail("two.so", 500);
    EXPECT_EQ(Run(owner), UpdateRequestFailed);
    EXPECT_FALSE(std::filesystem::exists(program() / "two.so"));
}

TEST_F(UpdateEngineTest, FailedCopyKeepsTheOldFileAndRow) {
    Register(2, "busy.so", "1.0");
    // The destination cannot be replaced: a folder with something in it.
    folder.Write("program/busy.so/inside", "old");
    server.Put("autoupdate.txt", Manifest({{"busy.so", "2.0", 2}, {"later.so", "1", 2}}));
    server.Put("busy.so", "new");
    server.Put("later.so", "later");
    RecordingOwner owner;
    EXPECT_EQ(Run(owner), UpdateNotCompleted);
    EXPECT_EQ(TempFolder::Read(program() / "busy.so" / "inside"), "old");
    EXPECT_EQ(Row(2, "busy.so"), "old author|busy.so|old name|1.0");
    EXPECT_TRUE(std::filesystem::is_empty(environment.tempRoot));
    EXPECT_FALSE(std::filesystem::exists(program() / "later.so"));
    // No staging file is left beside the destination.
    for (const auto& entry : std::filesystem::directory_iterator(program()))
        EXPECT_EQ(entry.path().filename().string().find(".tarvex-"), std::string::npos);
}

TEST_F(UpdateEngineTest, InstalledFileKeepsItsPermissions) {
    const auto old = folder.Write("program/tool.so", "old");
    std::filesystem::permissions(old, std::filesystem::perms(0755));
    server.Put("autoupdate.txt", Manifest({{"tool.so", "1", 0}}));
    server.Put("tool.so", "new");
    RecordingOwner owner;
    ASSERT_EQ(Run(owner), UpdateSucceeded);
    EXPECT_EQ(TempFolder::Read(old), "new");
    EXPECT_EQ(std::filesystem::status(old).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0755));
}

TEST(CompareVersionsTest, NumbersCompareAsNumbers) {
    EXPECT_EQ(UpdateEngine::CompareVersions("1.10", "1.9"), 1);
    EXPECT_EQ(UpdateEngine::CompareVersions("2", "1.9.9"), 1);
    EXPECT_EQ(UpdateEngine::CompareVersions("1.0", "1.0.0"), 0);
    EXPECT_EQ(UpdateEngine::CompareVersions("01.2", "1.2"), 0);
    EXPECT_EQ(UpdateEngine::CompareVersions("..1..2.", "1.2"), 0);
    EXPECT_EQ(UpdateEngine::CompareVersions("1.2", "1.3"), -1);
    EXPECT_EQ(UpdateEngine::CompareVersions("99999999999999999999", "1"), 1);
}

TEST(CompareVersionsTest, MalformedSideIsReported) {
    EXPECT_EQ(UpdateEngine::CompareVersions("1.0.0.1", "1"), -21);
    EXPECT_EQ(UpdateEngine::CompareVersions("", "1"), -21);
    EXPECT_EQ(UpdateEngine::CompareVersions("1.0 ", "1"), -21);
    EXPECT_EQ(UpdateEngine::CompareVersions("-1", "x"), -21);
    EXPECT_EQ(UpdateEngine::CompareVersions("1", "+2"), -22);
    EXPECT_EQ(UpdateEngine::CompareVersions("1", "..."), -22);
    EXPECT_TRUE(UpdateEngine::IsDigits(""));
    EXPECT_FALSE(UpdateEngine::IsDigits("1a"));
}

TEST(ModuleRelativePathTest, InsideOnly) {
    EXPECT_EQ(ModuleRelativePath("a.so"), std::filesystem::path("a.so"));
    EXPECT_EQ(ModuleRelativePath("sub\\a.so"), std::filesystem::path("sub/a.so"));
    EXPECT_EQ(ModuleRelativePath("./sub//a.so"), std::filesystem::path("sub/a.so"));
    for (const char* bad :
         {"", "/a.so", "../a.so", "a/../../b", "sub/", "C:a.so", ".", "\\\\host\\a"})
        EXPECT_FALSE(ModuleRelativePath(bad)) << bad;
}

}  // namespace
