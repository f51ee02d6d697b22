// Delta patches: zstd's patch-from mode made by publish and applied by a run
// against a real server and catalogue. A desktop holding the base fetches
// only the patch; any doubt about a patch (another base, corrupt bytes, a
// result larger than the signed size) costs only bytes: the whole file comes.
#include <gtest/gtest.h>

#include <sstream>

#include "catalogue_fixture.h"
#include "delta/zstd_patch.h"
#include "publish/publish.h"
#include "trust/key_files.h"
#include "update_server.h"

namespace {

// A module-like file: mostly the same bytes from one version to the next.
std::string Module(int version) {
    std::string bytes;
    for (int i = 0; i < 40000; ++i) bytes += "symbol_" + std::to_string(i * 7919 % 100003) + ";";
    for (int i = 0; i < 200; ++i)
        bytes.replace(static_cast<size_t>(i) * 1500, 5, "v" + std::to_string(version) + "___");
    return bytes;
}

TEST(ZstdPatchTest, RefusesWhatDoesNotMakeTheSignedFile) {
    const std::string base = Module(1);
    const std::string target = Module(2);
    std::string error;
    const std::optional<std::string> patch = MakePatch(base, target, error);
    ASSERT_TRUE(patch) << error;
    EXPECT_LT(patch->size(), target.size() / 20);
    EXPECT_EQ(ApplyPatch(base, *patch, target.size(), error), target) << error;

    std::string corrupt = *patch;
    corrupt[corrupt.size() / 2] ^= 0x55;
    const struct {
        const char* name;
        std::string base;
        std::string patch;
        uint64_t size;
        const char* says;
    } cases[] = {
        {"a larger result than signed", base, *patch, target.size() - 1, "the patch makes"},
        {"a smaller signed size", base, *patch, target.size() + 1, "the patch makes"},
        {"two frames", base, *patch + *patch, target.size(), "not one zstd frame"},
        {"not zstd", base, "plain bytes", target.size(), "not one zstd frame"},
        {"corrupt bytes", base, corrupt, target.size(), ""},
    };
    for (const auto& c : cases) {
        error.clear();
        const std::optional<std::string> made = ApplyPatch(c.base, c.patch, c.size, error);
        EXPECT_TRUE(!made || *made != target) << c.name;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
    }
    // Another base decodes to other bytes or not at all; the run's hash check
    // stands between either and the program folder.
    const std::optional<std::string> other =
        ApplyPatch(std::string(base.rbegin(), base.rend()), *patch, target.size(), error);
    EXPECT_TRUE(!other || *other != target);
}

class DeltaUpdateTest : public CatalogueFixture {
public:
    void SetUp() override {
        std::ostringstream said;
        std::string error;
        ASSERT_TRUE(GenerateKeyPair(keys.Path() / "publisher", said, error)) << error;
        folder.Write("program/data/update-keys", TempFolder::Read(keys.Path() / "publisher.pub"));
        old.Write("x.so", Module(1));
        site.Write("x.so", Module(2));
        site.Write("autoupdate.txt",
                   "[Main]\nfilecount=1\n[File1]\nfilename=x.so\nversion=2.0\n"
                   "moduletype=1\nauthor=a\nmodulename=x\n");
        ASSERT_TRUE(PublishSite({site.Path(),
                                 keys.Path() / "publisher",
                                 std::nullopt,
                                 {},
                                 0,
                                 {},
                                 "stable",
                                 {old.Path()}},
                                published, error))
            << error;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(site.Path()))
            if (entry.is_regular_file())
                server.Put(entry.path().lexically_relative(site.Path()).generic_string(),
                           TempFolder::Read(entry.path()));
        Register(1, "x.so", "1.0");
    }
    std::string PatchName() const {
        for (const auto& entry : std::filesystem::directory_iterator(site.Path() / "patches"))
            return "patches/" + entry.path().filename().string();
        return {};
    }
    RunOutcome Run() {
        since = server.Requests().size();
        RecordingOwner owner(true);
        ::testing::internal::CaptureStderr();
        const RunOutcome result = RunAgainst(server.BaseUrl(), owner);
        told = ::testing::internal::GetCapturedStderr();
        return result;
    }
    // Whether the last run fetched name.
    bool Fetched(const std::string& name) const {
        const std::vector<std::string> requests = server.Requests();
        for (size_t i = since; i < requests.size(); ++i)
            if (requests[i] == "/update/" + name) return true;
        return false;
    }

    TempFolder keys;
    TempFolder old;
    TempFolder site;
    UpdateServer server;
    std::ostringstream published;
    std::string told;
    size_t since = 0;
};

TEST_F(DeltaUpdateTest, ADesktopHoldingTheBaseFetchesOnlyThePatch) {
    EXPECT_NE(published.str().find("x.so: patch from"), std::string::npos) << published.str();
    folder.Write("program/x.so", Module(1));
    {
        RecordingOwner owner(true);
        UpdateEngine engine(environment);
        engine.AttachDialog(&owner);
        std::vector<SiteFileReport> files;
        ASSERT_EQ(engine.CheckSite(server.BaseUrl(), {}, files), 0);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].reason.rfind(
                      "a run here patches the installed version with " + PatchName(), 0),
                  0u)
            << files[0].reason;
    }
    EXPECT_EQ(Run(), UpdateSucceeded) << told;
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), Module(2));
    EXPECT_TRUE(Fetched(PatchName())) << told;
    EXPECT_FALSE(Fetched("x.so"));
}

TEST_F(DeltaUpdateTest, AnyDoubtAboutAPatchFetchesTheWholeFile) {
    const struct {
        const char* name;
        std::string installed;
        std::function<void(DeltaUpdateTest&)> serve;
        const char* says;
    } cases[] = {
        {"another base", "version 0.9", [](DeltaUpdateTest&) {}, ""},
        {"a corrupt patch", Module(1),
         [](DeltaUpdateTest& t) {
             std::string patch = TempFolder::Read(t.site.Path() / t.PatchName());
             patch[patch.size() / 2] ^= 0x55;
             t.server.Put(t.PatchName(), patch);
         },
         "its bytes differ from the ones the manifest vouches for"},
        {"a patch that is gone", Module(1),
         [](DeltaUpdateTest& t) { t.server.Fail(t.PatchName(), 404); }, "http://"},
    };
    for (const auto& c : cases) {
        folder.Write("program/x.so", c.installed);
        std::filesystem::remove(CatalogPath(program()));
        CreateCatalog(program());
        Register(1, "x.so", "1.0");
        c.serve(*this);
        EXPECT_EQ(Run(), UpdateSucceeded) << c.name << ": " << told;
        EXPECT_EQ(TempFolder::Read(program() / "x.so"), Module(2)) << c.name;
        EXPECT_TRUE(Fetched("x.so")) << c.name;
        if (*c.says) {
            EXPECT_NE(told.find("cannot be used (" + std::string(c.says)), std::string::npos)
                << c.name << ": " << told;
        }
    }
}

}  // namespace
