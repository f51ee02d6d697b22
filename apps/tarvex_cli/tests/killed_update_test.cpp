// tarvex-cli killed at every step of an update run: a real server, a signed
// site of three modules at version 2.0, and a program folder holding them at
// 1.0 in a real catalogue. The run is started again and again and killed
// (SIGKILL, from an LD_PRELOAD library) at the N-th call that changes the
// program folder, its catalogue or the temporary folder, for every N until a
// run completes. After each kill: every module is its old bytes or its new,
// never a mix nor missing; the catalogue opens and names no version whose
// bytes are not on disk (it may name the old version over the new bytes,
// until the next run records them); the accepted serial never went down;
// and the next
// run ends with 0 (or 6), leaves no staged copy and no temporary folder, and
// reaches what an undisturbed run reaches. One undisturbed run's order of
// calls shows the power-loss protocol: a module's bytes flushed before its
// rename, its folder flushed after, both before the catalogue records it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "catalog/update_state.h"
#include "run_command.h"
#include "temp_folder.h"
#include "update_server.h"

namespace {

namespace fs = std::filesystem;

struct Module {
    std::string name;  // relative to the program folder
    std::string oldBytes;
    std::string newBytes;
};

const std::vector<Module> modules = {
    {"libmorlin.so", std::string(3000, 'a'), std::string(5000, 'A')},
    {"sub/detect.so", std::string(2000, 'b'), std::string(1000, 'B')},
    {"core.so", "old core", "new core, longer than the old"},
};

std::string Manifest(const std::string& version) {
    std::string text = "[Main]\nfilecount=" + std::to_string(modules.size()) + "\n";
    for (size_t i = 0; i < modules.size(); ++i)
        text += "[File" + std::to_string(i + 1) + "]\nfilename=" + modules[i].name +
                "\nversion=" + version + "\nmoduletype=" + (i == 2 ? "0" : "2") +
                "\nauthor=Dorsk\nmodulename=m" + std::to_string(i) + "\n";
    return text;
}

// Where one run happens: its program folder and its temporary folder.
struct Lane {
    fs::path program;
    fs::path temp;
};

class KilledUpdateTest : public ::testing::Test {
protected:
    KilledUpdateTest() {
        fs::create_directories(Program());
        fs::create_directories(Temp());
        Cli("keygen --out " + (folder.Path() / "key").string());
        Cli("catalog init --program-dir " + Program().string());
        fs::copy_file(folder.Path() / "key.pub", Program() / "data/update-keys");
        // The starting point: version 1.0 of every module, installed by an
        // undisturbed run from a first site.
        Publish("1.0", [](const Module& m) { return m.oldBytes; });
        EXPECT_EQ(Update(Main(), {}), 0);
        pristineSerial = ReadAcceptedSerial(Program()).value_or(0);
        fs::copy(Program(), Pristine(), fs::copy_options::recursive);
        // Desktops holding 1.0 are sent patches, and killed while applying them too.
        Publish(
            "2.0", [](const Module& m) { return m.newBytes; }, Pristine());
        EXPECT_TRUE(fs::exists(Site() / "patches"));
    }

    fs::path Program() const { return folder.Path() / "program"; }
    fs::path Pristine() const { return folder.Path() / "pristine"; }
    fs::path Temp() const { return folder.Path() / "tmp"; }
    fs::path Site() const { return folder.Path() / "site"; }
    Lane Main() const { return {Program(), Temp()}; }
    // A lane of its own, started from the pristine program folder.
    Lane Fresh(int lane) const {
        const Lane fresh{folder.Path() / ("program-" + std::to_string(lane)),
                         folder.Path() / ("tmp-" + std::to_string(lane))};
        fs::remove_all(fresh.program);
        fs::copy(Pristine(), fresh.program, fs::copy_options::recursive);
        fs::create_directories(fresh.temp);
        return fresh;
    }

    std::string Cli(const std::string& arguments) const {
        const CommandResult r =
            RunCommand(std::string(TARVEX_CLI_PATH) + " " + arguments + " </dev/null 2>/dev/null");
        EXPECT_EQ(r.status, 0) << arguments;
        return r.out;
    }

    // previous: a folder of the release before, for delta patches.
    template <typename Bytes>
    void Publish(const std::string& version, Bytes bytes, const fs::path& previous = {}) {
        fs::create_directories(Site() / "sub");
        for (const Module& m : modules) {
            std::ofstream(Site() / m.name, std::ios::binary) << bytes(m);
        }
        std::ofstream(Site() / "autoupdate.txt", std::ios::binary) << Manifest(version);
        Cli("publish " + Site().string() + " --key " + (folder.Path() / "key").string() +
            (previous.empty() ? "" : " --previous " + previous.string()));
        for (const auto& entry : fs::recursive_directory_iterator(Site()))
            if (entry.is_regular_file())
                server.Put(entry.path().lexically_relative(Site()).generic_string(),
                           TempFolder::Read(entry.path()));
    }

    // One run in lane; killAt 0 never kills. The exit status, 137 when killed.
    int Update(const Lane& lane, const std::string& crashPoints) const {
        const std::string command = crashPoints + " TMPDIR=" + lane.temp.string() + " " +
                                    TARVEX_CLI_PATH + " update --yes --base-url " +
                                    server.BaseUrl() + " --program-dir " + lane.program.string() +
                                    " </dev/null >/dev/null 2>&1";
        return RunCommand(command).status;
    }
    std::string CrashPoints(const Lane& lane, long killAt, const fs::path& log = {}) const {
        return "LD_PRELOAD=" + std::string(CRASH_POINTS_LIBRARY) +
               " CRASH_POINT_DIRS=" + lane.program.string() + ":" + lane.temp.string() +
               " CRASH_POINT_KILL_AT=" + std::to_string(killAt) +
               (log.empty() ? std::string() : " CRASH_POINT_LOG=" + log.string());
    }

    // The catalogue's rows, "table|name|version" by module name, through
    // tarvex-cli, which must open it.
    std::map<std::string, std::string> Versions(const Lane& lane) const {
        const CommandResult r =
            RunCommand(std::string(TARVEX_CLI_PATH) + " catalog list --program-dir " +
                       lane.program.string() + " 2>&1");
        EXPECT_EQ(r.status, 0) << r.out;
        std::map<std::string, std::string> versions;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);)
            for (const Module& m : modules)
                if (line.find(m.name) != std::string::npos)
                    versions[m.name] = line.find("2.0") != std::string::npos   ? "2.0"
                                       : line.find("1.0") != std::string::npos ? "1.0"
                                                                               : line;
        return versions;
    }

    // What must hold after any kill, and after the run that follows.
    void ExpectWhole(const Lane& lane, long n) const {
        const std::map<std::string, std::string> versions = Versions(lane);
        for (const Module& m : modules) {
            const std::string bytes = TempFolder::Read(lane.program / m.name);
            EXPECT_TRUE(bytes == m.oldBytes || bytes == m.newBytes)
                << "killed at " << n << ": " << m.name << " is neither old nor new";
            // A row never names a version whose bytes are not on disk: a row
            // at 2.0 has the new bytes. (A kill between putting a file in
            // place and recording it leaves the row at 1.0 over the new
            // bytes for a moment; the next run installs and records it.)
            const auto row = versions.find(m.name);
            ASSERT_NE(row, versions.end()) << "killed at " << n << ": no row for " << m.name;
            if (row->second == "2.0")
                EXPECT_TRUE(bytes == m.newBytes)
                    << "killed at " << n << ": " << m.name << " recorded at 2.0 over old bytes";
            else
                EXPECT_EQ(row->second, "1.0") << "killed at " << n << ": " << m.name;
        }
        EXPECT_GE(ReadAcceptedSerial(lane.program).value_or(0), pristineSerial)
            << "killed at " << n;
    }

    void ExpectFinished(const Lane& lane, long n) const {
        for (const Module& m : modules)
            EXPECT_EQ(TempFolder::Read(lane.program / m.name), m.newBytes) << "after kill " << n;
        for (const auto& [name, version] : Versions(lane))
            EXPECT_EQ(version, "2.0") << "after kill " << n << ": " << name;
        for (const auto& entry : fs::recursive_directory_iterator(lane.program))
            EXPECT_EQ(entry.path().filename().string().find(".tarvex-"), std::string::npos)
                << "after kill " << n << ": staged copy " << entry.path();
        EXPECT_TRUE(fs::is_empty(lane.temp))
            << "after kill " << n << ": a temporary folder is left";
    }

    TempFolder folder;
    UpdateServer server;
    long long pristineSerial = 0;
};

TEST_F(KilledUpdateTest, EveryCrashPointLeavesWholeFilesAndTheNextRunFinishes) {
    // Two lanes side by side (each its own program and temporary folders,
    // one server): crash points 1, 3, 5, ... in one and 2, 4, 6, ... in the
    // other, until a run in either completes.
    constexpr int lanes = 2;
    std::atomic<long> tried{0}, completedAt{0};
    std::vector<std::thread> threads;
    for (int lane = 0; lane < lanes; ++lane)
        threads.emplace_back([&, lane] {
            for (long n = lane + 1; completedAt == 0 || n < completedAt; n += lanes) {
                const Lane mine = Fresh(lane);
                const int status = Update(mine, CrashPoints(mine, n));
                if (status == 0) {  // past the last crash point: the run completed
                    // The first complete run, whichever lane saw it.
                    long seen = completedAt;
                    while ((seen == 0 || n < seen) && !completedAt.compare_exchange_weak(seen, n)) {
                    }
                    ExpectFinished(mine, n);
                    return;
                }
                EXPECT_EQ(status, 128 + 9) << "crash point " << n << " did not kill the run";
                ++tried;
                ExpectWhole(mine, n);
                const int next = Update(mine, {});
                EXPECT_TRUE(next == 0 || next == 6) << "after kill " << n << ": " << next;
                ExpectFinished(mine, n);
                if (HasFailure()) return;
            }
        });
    for (std::thread& thread : threads) thread.join();
    std::printf("crash points tried: %ld (a run completed at %ld)\n", tried.load(),
                completedAt.load());
    EXPECT_GE(tried, 30);
    EXPECT_EQ(tried + 1, completedAt);  // every point before the first complete run
}

// The calls of one undisturbed run: for each module, its staged copy
// flushed, renamed over the module, the folder flushed, and only then the
// catalogue written.
TEST_F(KilledUpdateTest, ModulesAreDurableBeforeTheCatalogueRecordsThem) {
    const fs::path log = folder.Path() / "calls.log";
    ASSERT_EQ(Update(Main(), CrashPoints(Main(), 0, log)), 0);
    std::vector<std::string> calls;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);)
        calls.push_back(line.substr(line.find(' ') + 1));
    ASSERT_FALSE(calls.empty());
    const auto find = [&](size_t from, const std::string& call, const std::string& text) {
        for (size_t i = from; i < calls.size(); ++i)
            if (calls[i].rfind(call + " ", 0) == 0 && calls[i].find(text) != std::string::npos)
                return i;
        return calls.size();
    };
    const std::string catalogue = (Program() / "data" / "module.dat").string();
    for (const Module& m : modules) {
        const fs::path destination = Program() / m.name;
        const std::string staged = destination.string() + ".tarvex-";
        const size_t rename = find(0, "rename", "-> " + destination.string());
        ASSERT_LT(rename, calls.size()) << m.name << " never renamed into place";
        const size_t flushed = find(0, "fsync", staged);
        EXPECT_LT(flushed, rename) << m.name << ": staged copy not flushed before the rename";
        size_t folderFlushed = rename;
        while (folderFlushed < calls.size() &&
               calls[folderFlushed] != "fsync " + destination.parent_path().string())
            ++folderFlushed;
        ASSERT_LT(folderFlushed, calls.size()) << m.name << ": folder never flushed";
        const size_t recorded = find(rename, "write", catalogue);
        ASSERT_LT(recorded, calls.size()) << m.name << ": never recorded";
        EXPECT_LT(folderFlushed, recorded) << m.name << ": recorded before its folder was flushed";
        // Nothing of the catalogue is written between the rename and the flush.
        for (size_t i = rename; i < folderFlushed; ++i)
            EXPECT_EQ(calls[i].find(catalogue), std::string::npos) << calls[i];
    }
}

}  // namespace
