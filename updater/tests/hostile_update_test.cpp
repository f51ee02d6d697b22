// Update runs under attack and accident: a hostile server, a second run, a
// planted or locked file, a broken temporary path. Nothing corrupt is
// installed, nothing partial stays, nothing hangs. Limits are shortened
// through the environment so the slow cases take seconds, not minutes.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>

#include "catalog/catalog_error.h"
#include "catalog/sqlcipher_database.h"
#include "catalogue_fixture.h"
#include "engine/catalog_lock.h"
#include "engine/entry_plans.h"
#include "engine/update_result.h"
#include "manifest/ini_file.h"
#include "trust/module_path.h"
#include "scripted_server.h"

namespace {

using namespace std::chrono_literals;
using Reply = ScriptedServer::Reply;

class HostileUpdateTest : public CatalogueFixture {
protected:
    HostileUpdateTest() {
        environment.limits.headerTimeout = 500ms;
        environment.limits.lowSpeedBytesPerSecond = 1024;
        environment.limits.lowSpeedWindow = 1s;
        environment.limits.lockWait = 300ms;
    }

    RunOutcome Run(RecordingOwner& owner) { return RunAgainst(server.BaseUrl(), owner); }
    RunOutcome Run() {
        RecordingOwner owner;
        return Run(owner);
    }
    // Nothing of any run is left in the temporary root.
    bool TempRootEmpty() const { return std::filesystem::is_empty(environment.tempRoot); }

    ScriptedServer server;
};

TEST_F(HostileUpdateTest, SecondRunOnAFolderEndsWithoutTouchingAnything) {
    server.Put("autoupdate.txt", Manifest({{"x.so", "1", 1}}));
    server.Put("x.so", "module");
    const auto held = CatalogLock::Acquire(CatalogPath(program()), 100ms);
    ASSERT_TRUE(held);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Run(), UpdateNotCompleted);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("another update is running"),
              std::string::npos);
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_FALSE(std::filesystem::exists(program() / "x.so"));
}

// Holds each caller until count callers have arrived, or until a bound that
// only a run which never overlaps the other reaches; says whether all came.
class Meeting {
public:
    explicit Meeting(int count) : expected(count) {}
    bool ArriveAndWait() {
        std::unique_lock<std::mutex> lock(mutex);
        ++arrived;
        all.notify_all();
        return all.wait_for(lock, 60s, [this] { return arrived >= expected; });
    }

private:
    std::mutex mutex;
    std::condition_variable all;
    int arrived = 0;
    const int expected;
};

TEST_F(HostileUpdateTest, RunsSharingATemporaryFolderEachInstallTheirOwnBytes) {
    // Each server answers for x.so only once the other run asks for its own:
    // the two transfers are in flight together, each into the shared root.
    environment.limits.lowSpeedBytesPerSecond = 1;
    ScriptedServer other;
    const std::string mine(300, 'a'), theirs(300, 'b');
    server.Put("autoupdate.txt", Manifest({{"x.so", "1", 1}}));
    other.Put("autoupdate.txt", Manifest({{"x.so", "1", 1}}));
    Meeting meeting(2);
    std::atomic<int> met{0};
    const auto answerOnceBothAsked = [&](const std::string& body) {
        return [&, body](const std::string&) {
            if (meeting.ArriveAndWait()) ++met;
            return Reply{"HTTP/1.1 200 OK\r\nContent-Length: 300", body};
        };
    };
    server.Answer("x.so", answerOnceBothAsked(mine));
    other.Answer("x.so", answerOnceBothAsked(theirs));
    const std::filesystem::path second = folder.Path() / "second";
    std::filesystem::create_directories(second);
    CreateCatalog(second);
    EngineEnvironment otherEnvironment = environment;
    otherEnvironment.programFolder = second;

    RunOutcome otherResult;
    std::thread parallel([&] {
        RecordingOwner owner;
        UpdateEngine engine(otherEnvironment);
        engine.AttachDialog(&owner);
        otherResult = RunEngine(engine, other.BaseUrl());
    });
    EXPECT_EQ(Run(), UpdateSucceeded);
    parallel.join();
    EXPECT_EQ(otherResult, UpdateSucceeded);
    EXPECT_EQ(met.load(), 2) << "the two transfers never overlapped";
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), mine);
    EXPECT_EQ(TempFolder::Read(second / "x.so"), theirs);
    EXPECT_TRUE(TempRootEmpty());
}

struct BadReply {
    const char* name;
    const char* head;
    std::string body;
    UpdateResult result;
};

class BadReplyTest : public HostileUpdateTest, public ::testing::WithParamInterface<BadReply> {};

TEST_P(BadReplyTest, IsNeverInstalledNorRecorded) {
    const BadReply& bad = GetParam();
    Register(1, "x.so", "1.0");
    folder.Write("program/x.so", "old");
    server.Put("autoupdate.txt", Manifest({{"x.so", "2.0", 1}}));
    server.Script("x.so", Reply{bad.head, bad.body});
    EXPECT_EQ(Run(), bad.result);
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "old");
    EXPECT_EQ(Row(1, "x.so"), "old author|x.so|old name|1.0");
    EXPECT_TRUE(TempRootEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, BadReplyTest,
    ::testing::Values(
        // Only 200 is a whole file when no range was asked for.
        BadReply{
            "PartialContent",
            "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-2/100\r\nContent-Length: 3",
            "new", UpdateRequestFailed},
        BadReply{"TwoContentLengths", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 5",
                 "new", UpdateModuleFailed},
        // Over the 1 GiB limit: refused before a byte is read.
        BadReply{"FiftyGigabytes", "HTTP/1.1 200 OK\r\nContent-Length: 53687091200",
                 std::string(4096, 'z'), UpdateModuleFailed}),
    [](const auto& reply) { return std::string(reply.param.name); });

TEST_F(HostileUpdateTest, SizeLimitsEndTheRunAndLeaveNothing) {
    environment.limits.maxModuleBytes = 1000;
    server.Put("autoupdate.txt", Manifest({{"x.so", "1", 1}}));
    server.Put("x.so", std::string(1001, 'x'));
    EXPECT_EQ(Run(), UpdateModuleFailed);
    server.Put("autoupdate.txt", std::string((1 << 20) + 1, '\n'));
    EXPECT_TRUE(EndedWith(Run(), UpdateManifestFailed, "more than the 1048576 this run accepts"));
    EXPECT_TRUE(TempRootEmpty());
}

// A temporary folder on a 64 KiB file system: a 200 KB module is refused from
// its Content-Length before any byte is written. Needs the right to mount.
TEST_F(HostileUpdateTest, ModuleLargerThanTheFreeTemporarySpaceIsRefused) {
    const std::filesystem::path small = folder.Path() / "small";
    std::filesystem::create_directories(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    struct Unmount {
        std::filesystem::path at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{small};
    environment.tempRoot = small;
    server.Put("autoupdate.txt", Manifest({{"x.so", "1", 1}}));
    server.Put("x.so", std::string(200000, 'x'));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Run(), UpdateModuleFailed);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("do not fit"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(small));
    EXPECT_EQ(server.Requests(), (std::vector<std::string>{"autoupdate.txt", "x.so"}));
}

TEST_F(HostileUpdateTest, PlantedFileInTheOldSharedPlaceIsNeverWritten) {
    const std::filesystem::path planted =
        folder.Write("tmp/tarvex-" + std::to_string(geteuid()) + "/x.so", "planted");
    server.Put("autoupdate.txt", Manifest({{"x.so", "1", 1}}));
    server.Put("x.so", "module");
    EXPECT_EQ(Run(), UpdateSucceeded);
    EXPECT_EQ(TempFolder::Read(planted), "planted");
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "module");
}

TEST_F(HostileUpdateTest, NamesOfTheCatalogueAreRefused) {
    for (const char* name :
         {"data/module.dat", "data\\module.dat", "./data//module.dat", "data/module.dat-journal"}) {
        server.Put("autoupdate.txt", Manifest({{name, "9", 0}}));
        server.Put("data/module.dat", "not a catalogue");
        EXPECT_EQ(Run(), UpdateModuleFailed) << name;
    }
    EXPECT_EQ(Row(1, "anything"), "");  // the catalogue still opens with its key
}

struct Spelling {
    const char* name;
    const char* recorded;
    int recordedType;
    const char* listed;
    int listedType;
};

class SpellingTest : public HostileUpdateTest, public ::testing::WithParamInterface<Spelling> {};

TEST_P(SpellingTest, SameDestinationNeverGoesBack) {
    const Spelling& s = GetParam();
    Register(s.recordedType, s.recorded, "5.0");
    const std::filesystem::path destination = program() / *ModuleRelativePath(s.recorded);
    std::filesystem::create_directories(destination.parent_path());
    std::ofstream(destination) << "version 5";
    server.Put("autoupdate.txt", Manifest({{s.listed, "1.0", s.listedType}}));
    server.Put(ModuleRelativePath(s.listed)->generic_string(), "version 1");
    EXPECT_EQ(Run(), UpdateUpToDate);
    EXPECT_EQ(TempFolder::Read(destination), "version 5");
    // No second row under the other spelling or type; the first keeps 5.0.
    EXPECT_EQ(Row(s.listedType, s.listed), "");
    const std::string recorded = Row(s.recordedType, s.recorded);
    EXPECT_EQ(recorded.substr(recorded.size() - 4), "|5.0");
}

INSTANTIATE_TEST_SUITE_P(Spellings, SpellingTest,
                         ::testing::Values(Spelling{"DotSlash", "x.so", 2, "./x.so", 2},
                                           Spelling{"TrailingDot", "x.so", 2, "x.so/.", 2},
                                           Spelling{"DoubleSlash", "sub/y.so", 2, "sub//y.so", 2},
                                           Spelling{"Backslash", "sub/y.so", 2, "sub\\y.so", 2},
                                           Spelling{"OtherType", "x.so", 2, "x.so", 1},
                                           Spelling{"SystemAndDetector", "x.so", 0, "./X.SO", 1}),
                         [](const auto& spelling) { return std::string(spelling.param.name); });

TEST_F(HostileUpdateTest, DestinationListedTwiceInstallsTheNewerOnce) {
    server.Put("autoupdate.txt", Manifest({{"x.so", "6.0", 1}, {"./x.so", "5.5", 1}}));
    server.Put("x.so", "six");
    RecordingOwner owner;
    EXPECT_EQ(Run(owner), UpdateSucceeded);
    EXPECT_EQ(owner.statusLines.size(), 1u);
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "six");
    EXPECT_EQ(Row(1, "x.so"), "Dorsk|x.so|module|6.0");
}

TEST_F(HostileUpdateTest, MalformedVersionLeavesJustThatFileOutAndIsNeverRecorded) {
    int release = 0;
    for (const char* version : {"1.0 ", "v1", "", "1.0-beta", "1.2.3.4"}) {
        const std::string fine = std::to_string(++release);
        server.Put("autoupdate.txt", Manifest({{"x.so", version, 1}, {"fine.so", fine, 1}}));
        server.Put("fine.so", "fine " + fine);
        server.Put("x.so", "malformed");
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(Run(), UpdateSucceeded) << version;
        EXPECT_NE(::testing::internal::GetCapturedStderr().find("x.so is left out"),
                  std::string::npos)
            << version;
        EXPECT_EQ(TempFolder::Read(program() / "fine.so"), "fine " + fine);
    }
    EXPECT_FALSE(std::filesystem::exists(program() / "x.so"));
    EXPECT_EQ(Row(1, "x.so"), "");
    EXPECT_EQ(Row(1, "fine.so"), "Dorsk|fine.so|module|5");
}

// Counts far beyond the sections a manifest holds: the sections there are
// read, every missing one is left out, and the walk costs the manifest's
// sections, not the count (a plan per section and per gap).
TEST_F(HostileUpdateTest, HugeFileCountsReadOnlyTheSectionsThere) {
    struct Count {
        const char* text;
        size_t plans;  // File1, the gap before File3, File3, the gap after
    };
    int release = 0;
    for (const Count count :
         {Count{"2147483647", 4}, Count{"4294967297", 4}, Count{"99999999999", 4}, Count{"3", 3}}) {
        const std::string version = std::to_string(++release);
        std::string manifest =
            Manifest({{"a.so", version, 1}, {"gone.so", version, 1}, {"c.so", version, 1}});
        manifest.replace(manifest.find("filecount=3"), 11, std::string("filecount=") + count.text);
        manifest.erase(manifest.find("[File2]"),
                       manifest.find("[File3]") - manifest.find("[File2]"));
        IniFile ini("");
        ini.LoadText(manifest);
        const std::vector<EntryPlan> plans =
            PlanEntries(ini, ini.GetValueInt("Main", "filecount"), false, nullptr, program());
        ASSERT_EQ(plans.size(), count.plans) << count.text;
        EXPECT_EQ(plans[1].kind, EntryPlan::Kind::LeftOut) << count.text;
        EXPECT_EQ(plans[1].reason, "[File2] is not in the manifest") << count.text;

        server.Put("autoupdate.txt", manifest);
        server.Put("a.so", std::string("a ") + count.text);
        server.Put("c.so", std::string("c ") + count.text);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(Run(), UpdateSucceeded) << count.text;
        const std::string told = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(told.find("[File2] is not in the manifest: left out"), std::string::npos) << told;
        EXPECT_EQ(TempFolder::Read(program() / "c.so"), std::string("c ") + count.text);
        EXPECT_EQ(Row(1, "c.so"), "Dorsk|c.so|module|" + version);
    }
    // One file listed twice after a gap: the newer stands, whatever the gap.
    for (const std::string name : {"d.so", "e.so"}) {
        const std::string entry = "filename=" + name + "\nmoduletype=1\nauthor=Dorsk\n";
        server.Put("autoupdate.txt",
                   "[Main]\nfilecount=99\n" +
                       (name == "e.so" ? "[File1]\nfilename=a.so\nversion=1\nmoduletype=1\n"
                                       : std::string()) +
                       "[File6]\n" + entry + "version=7\n[File9]\n" + entry + "version=8\n");
        server.Put("a.so", "a");
        server.Put(name, "8");
        EXPECT_EQ(Run(), UpdateSucceeded) << name;
        EXPECT_EQ(Row(1, name), "Dorsk|" + name + "||8");
    }
    // Negative counts read nothing at all, as 0 does.
    for (const char* count : {"-1", "-2147483649", "-99999999999"}) {
        server.Put("autoupdate.txt",
                   std::string("[Main]\nfilecount=") + count + "\n[File1]\nfilename=x.so\n");
        EXPECT_EQ(Run(), UpdateUpToDate) << count;
    }
}

TEST_F(HostileUpdateTest, LockedCatalogueIsFoundBeforeAnyModuleIsReplaced) {
    folder.Write("program/x.so", "old");
    server.Put("autoupdate.txt", Manifest({{"x.so", "1", 1}}));
    server.Put("x.so", "new");
    SqlCipherDatabase other(CatalogPath(program()));
    other.Execute("BEGIN IMMEDIATE");
    RecordingOwner owner;
    EXPECT_THROW(Run(owner), CatalogError);
    other.Execute("ROLLBACK");
    EXPECT_EQ(TempFolder::Read(program() / "x.so"), "old");
    EXPECT_EQ(owner.questions.size(), 1u);
    EXPECT_TRUE(TempRootEmpty());
}

TEST_F(HostileUpdateTest, SlowServersEndTheRunWithinTheirLimits) {
    // One byte every 100 ms is far below 1 KiB/s: a body of 100,000 bytes
    // could only end by the speed limit (as a whole download it would take
    // hours); headers that never come end by the header limit. Each run
    // tells which limit ended it.
    const Reply drip{"HTTP/1.1 200 OK\r\nContent-Length: 100000", "x", 0ms, 100ms, true};
    const Reply stall{"HTTP/1.1 200 OK\r\nContent-Length: 1", "x", 5000ms};
    server.Put("autoupdate.txt", Manifest({{"x.so", "1", 1}}));
    const struct {
        const char* file;
        Reply reply;
        UpdateResult result;
        const char* told;
    } cases[] = {
        {"x.so", drip, UpdateModuleFailed, "too slow"},
        {"x.so", stall, UpdateModuleFailed, "did not send its headers in time"},
        {"autoupdate.txt", drip, UpdateManifestFailed, "too slow"},
        {"autoupdate.txt", stall, UpdateManifestFailed, "did not send its headers in time"}};
    for (const auto& c : cases) {
        server.Script(c.file, c.reply);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(Run(), c.result) << c.file;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(c.told), std::string::npos) << c.file << ": " << said;
    }
    EXPECT_TRUE(TempRootEmpty());
    EXPECT_FALSE(std::filesystem::exists(program() / "x.so"));
}

TEST_F(HostileUpdateTest, UnusableTemporaryPathEndsWithThreeNamingIt) {
    environment.tempRoot.clear();
    const std::filesystem::path plainFile = folder.Write("plain", "not a folder");
    const char* saved = std::getenv("TMPDIR");
    const std::string restore = saved != nullptr ? saved : "";
    server.Put("autoupdate.txt", Manifest({{"x.so", "1", 1}}));
    for (const std::filesystem::path& bad : {folder.Path() / "missing", plainFile}) {
        ::setenv("TMPDIR", bad.c_str(), 1);
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(EndedWith(Run(), UpdateCannotStart, "the temporary folder")) << bad;
        EXPECT_NE(::testing::internal::GetCapturedStderr().find(bad.string()), std::string::npos);
    }
    if (saved != nullptr)
        ::setenv("TMPDIR", restore.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

TEST_F(HostileUpdateTest, InstalledModulesNeverCarrySetIdBits) {
    const std::filesystem::path target = folder.Write("elsewhere/suid.so", "root tool");
    ::chmod(target.c_str(), 06755);
    std::filesystem::create_symlink(target, program() / "linked.so");
    const std::filesystem::path plain = folder.Write("program/plain.so", "old");
    ::chmod(plain.c_str(), 04750);
    server.Put("autoupdate.txt", Manifest({{"linked.so", "1", 1}, {"plain.so", "1", 1}}));
    server.Put("linked.so", "new linked");
    server.Put("plain.so", "new plain");
    ASSERT_EQ(Run(), UpdateSucceeded);
    struct stat info {};
    ASSERT_EQ(::lstat((program() / "linked.so").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    ASSERT_EQ(::lstat(plain.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0750u);
    EXPECT_EQ(TempFolder::Read(target), "root tool");
}

TEST_F(HostileUpdateTest, StagedCopiesOfAKilledRunAreRemoved) {
    const std::filesystem::path left = folder.Write("program/x.so.tarvex-Ab12Cd", "half");
    const std::filesystem::path unrelated = folder.Write("program/x.so.tarvex-keep-me", "mine");
    server.Put("autoupdate.txt", Manifest({{"x.so", "1", 1}}));
    server.Put("x.so", "module");
    EXPECT_EQ(Run(), UpdateSucceeded);
    EXPECT_FALSE(std::filesystem::exists(left));
    EXPECT_TRUE(std::filesystem::exists(unrelated));
}

}  // namespace
