// tarvex-cli run as a process against a real server and catalogue.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <functional>
#include <memory>

#include "run_command.h"
#include "trust/signature.h"
#include "temp_folder.h"
#include "update_server.h"

namespace {

struct RunResult {
    int status;
    std::string out;
    std::string err;
};

RunResult RunCli(const std::string& arguments, const TempFolder& scratch) {
    const std::filesystem::path errFile = scratch.Path() / "stderr.txt";
    // stdin from /dev/null and setsid: no terminal to ask.
    const std::string command = "setsid " + std::string(TARVEX_CLI_PATH) + " " + arguments +
                                " </dev/null 2>" + errFile.string();
    const CommandResult result = RunCommand(command);
    return {result.status, result.out, TempFolder::Read(errFile)};
}

class TarvexCliTest : public ::testing::Test {
public:
    std::string ProgramDir() const {
        return "--program-dir " + (folder.Path() / "program").string();
    }
    void InitCatalogue() { ASSERT_EQ(RunCli("catalog init " + ProgramDir(), scratch).status, 0); }

    TempFolder folder;
    TempFolder scratch;
    UpdateServer server;
};

TEST_F(TarvexCliTest, UpdateRunsAndExitsWithTheResultCode) {
    ASSERT_EQ(RunCli("catalog init " + ProgramDir(), scratch).status, 0);
    server.Put("autoupdate.txt",
               "[Main]\nfilecount=1\n[File1]\nfilename=libmorlin.so\nversion=2.0.051208\n"
               "moduletype=2\nauthor=Dorsk\nmodulename=(K)PCA人脸识别\n");
    server.Put("libmorlin.so", std::string(3000, 'm'));
    const std::string update = "update --base-url " + server.BaseUrl() + " " + ProgramDir();

    RunResult declined = RunCli(update, scratch);  // no terminal, no flag: no
    EXPECT_EQ(declined.status, 7);
    EXPECT_EQ(declined.out, "升级没有完成，请关闭主程序重试.\n");
    EXPECT_NE(declined.err.find("是否升级?"), std::string::npos) << declined.err;

    RunResult done = RunCli(update + " --yes", scratch);
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(done.out, "升级完成\n");
    EXPECT_NE(done.err.find("正在下载文件:libmorlin.so"), std::string::npos) << done.err;
    EXPECT_NE(done.err.find("文件已经下载 2.93/2.93K"), std::string::npos) << done.err;
    EXPECT_EQ(TempFolder::Read(folder.Path() / "program" / "libmorlin.so"), std::string(3000, 'm'));

    RunResult again = RunCli(update + " --yes", scratch);
    EXPECT_EQ(again.status, 6);
    EXPECT_EQ(again.out, "您的版本是最新的，不必要升级.\n");

    RunResult listing = RunCli("catalog list " + ProgramDir(), scratch);
    EXPECT_EQ(listing.status, 0);
    EXPECT_NE(listing.out.find("Dorsk\tlibmorlin.so\t(K)PCA人脸识别\t2.0.051208"),
              std::string::npos)
        << listing.out;
}

TEST_F(TarvexCliTest, CatalogueErrorsExitWithTen) {
    server.Put("autoupdate.txt", "[Main]\nfilecount=1\n[File1]\nfilename=a.so\nversion=1\n");
    RunResult r =
        RunCli("update --no --base-url " + server.BaseUrl() + " " + ProgramDir(), scratch);
    EXPECT_EQ(r.status, 10);
    EXPECT_NE(r.err.find("tarvex-cli catalog init"), std::string::npos) << r.err;
    EXPECT_EQ(RunCli("catalog list " + ProgramDir(), scratch).status, 10);
}

TEST_F(TarvexCliTest, FailuresPrintTheNetworkMessage) {
    ASSERT_EQ(RunCli("catalog init " + ProgramDir(), scratch).status, 0);
    RunResult r =
        RunCli("update --yes --base-url=" + server.BaseUrl() + " " + ProgramDir(), scratch);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "下载文件失败，请检查网络\n");
}

// What an administrator sees when something is set up wrong: the exit
// status, and on standard error what is wrong and where.
struct Mistake {
    const char* name;
    // Sets the scene; returns the arguments after "update --yes".
    std::function<std::string(TarvexCliTest&)> setUp;
    int status;
    const char* told;
};

void PrintTo(const Mistake& mistake, std::ostream* out) {
    *out << mistake.name;
}

class CliMistakeTest : public TarvexCliTest, public ::testing::WithParamInterface<Mistake> {};

TEST_P(CliMistakeTest, EndsWithItsStatusAndSaysWhatIsWrong) {
    const std::string arguments = GetParam().setUp(*this);
    const RunResult r = RunCli("update --yes " + arguments, scratch);
    EXPECT_EQ(r.status, GetParam().status) << r.err;
    EXPECT_NE(r.err.find(GetParam().told), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, CliMistakeTest,
    ::testing::Values(
        Mistake{"WrongBaseUrl",
                [](TarvexCliTest& test) {
                    test.InitCatalogue();
                    return "--base-url " + test.server.BaseUrl() + "nope/ " + test.ProgramDir();
                },
                2, "nope/autoupdate.txt: HTTP status 404 (not found"},
        Mistake{"ServerDown",
                [](TarvexCliTest& test) {
                    test.InitCatalogue();
                    return "--base-url http://127.0.0.1:9/update/ " + test.ProgramDir();
                },
                2, "http://127.0.0.1:9/update/autoupdate.txt: no answer"},
        Mistake{"NoCatalogue",
                [](TarvexCliTest& test) {
                    return "--base-url " + test.server.BaseUrl() + " " + test.ProgramDir();
                },
                10, "create one with `tarvex-cli catalog init --program-dir"},
        Mistake{"UnknownModuleType",
                [](TarvexCliTest& test) {
                    test.InitCatalogue();
                    test.server.Put("autoupdate.txt",
                                    "[Main]\nfilecount=1\n[File1]\nfilename=a.so\nversion=1\n"
                                    "moduletype=3\n");
                    return "--base-url " + test.server.BaseUrl() + " " + test.ProgramDir();
                },
                4, "[File1] moduletype 3 is none of 0 (system component)"},
        Mistake{"BrokenKeyFile",
                [](TarvexCliTest& test) {
                    test.InitCatalogue();
                    test.folder.Write("program/data/update-keys",
                                      "# publisher\npublisher.key.pub\n");
                    test.server.Put("autoupdate.txt", "[Main]\nfilecount=0\n");
                    return "--base-url " + test.server.BaseUrl() + " " + test.ProgramDir();
                },
                3, "data/update-keys:2: is not a public key"}),
    [](const auto& mistake) { return std::string(mistake.param.name); });

TEST_F(TarvexCliTest, BaseUrlWithoutItsFinalSlashNamesTheFolder) {
    InitCatalogue();
    server.Put("autoupdate.txt", "[Main]\nfilecount=0\n");
    std::string base = server.BaseUrl();
    base.pop_back();
    EXPECT_EQ(RunCli("update --base-url " + base + " " + ProgramDir(), scratch).status, 6);
    EXPECT_EQ(server.Requests(), std::vector<std::string>{"/update/autoupdate.txt"});
}

TEST_F(TarvexCliTest, ReaderThatGoesAwayDoesNotKillTheRun) {
    InitCatalogue();
    server.Put("autoupdate.txt",
               "[Main]\nfilecount=1\n[File1]\nfilename=a.so\nversion=1\nmoduletype=1\n");
    server.Put("a.so", "module");
    const std::filesystem::path tmp = scratch.Path() / "tmp";
    std::filesystem::create_directories(tmp);
    // Standard output is a pipe nobody reads any more: writing to it raises SIGPIPE.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string base = server.BaseUrl();
    const std::string programDir = (folder.Path() / "program").string();
    const std::string tmpdir = "TMPDIR=" + tmp.string();
    std::vector<const char*> argv{TARVEX_CLI_PATH,    "update",     "--yes",
                                  "--base-url",       base.c_str(), "--program-dir",
                                  programDir.c_str(), nullptr};
    std::vector<const char*> env{tmpdir.c_str(), nullptr};
    // As a shell starts it: SIGPIPE at its default (the test's server ignores it).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t child = 0;
    ASSERT_EQ(
        posix_spawn(&child, TARVEX_CLI_PATH, &actions, &attributes,
                    const_cast<char* const*>(argv.data()), const_cast<char* const*>(env.data())),
        0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pipeEnds[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(TempFolder::Read(folder.Path() / "program" / "a.so"), "module");
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
}

// A publisher's dry run: the same checks a client makes, and nothing changes.
class VerifyTest : public TarvexCliTest {
protected:
    VerifyTest() {
        InitCatalogue();
        keys = RunCli("keygen --out " + KeyFile(), scratch);
        site.Write("x.so", "version 2.0");
        site.Write("autoupdate.txt",
                   "[Main]\nfilecount=1\n[File1]\nfilename=x.so\nversion=2.0\nmoduletype=1\n");
        published = RunCli("publish " + site.Path().string() + " --key " + KeyFile(), scratch);
        for (const char* name : {"autoupdate.txt", "autoupdate.txt.sig", "x.so"})
            server.Put(name, TempFolder::Read(site.Path() / name));
        folder.Write("program/data/update-keys", TempFolder::Read(KeyFile() + ".pub"));
        catalogue = TempFolder::Read(folder.Path() / "program/data/module.dat");
    }

    std::string KeyFile() const { return (scratch.Path() / "publisher.key").string(); }
    RunResult Verify(const std::string& trust) {
        return RunCli("verify --base-url " + server.BaseUrl() + " " + trust, scratch);
    }
    void ExpectProgramFolderUnchanged() {
        EXPECT_EQ(TempFolder::Read(folder.Path() / "program/data/module.dat"), catalogue);
        EXPECT_FALSE(std::filesystem::exists(folder.Path() / "program/x.so"));
    }

    TempFolder site;
    RunResult keys;
    RunResult published;
    std::string catalogue;
};

TEST_F(VerifyTest, GoodSiteIsAcceptedFileByFile) {
    EXPECT_NE(keys.out.find("key ed25519:"), std::string::npos) << keys.out;
    EXPECT_NE(published.out.find("signed with key ed25519:"), std::string::npos) << published.out;
    const std::string line =
        "x.so\t2.0\t11 bytes\tsha256:" + *Sha256OfFile(site.Path() / "x.so") + "\t";
    const RunResult withKey = Verify("--key " + KeyFile() + ".pub");
    EXPECT_EQ(withKey.status, 0) << withKey.err;
    EXPECT_EQ(withKey.out, line + "verified\nsite accepted: 1 file checked\n");
    const RunResult withFolder = Verify(ProgramDir());
    EXPECT_EQ(withFolder.status, 0) << withFolder.err;
    EXPECT_EQ(withFolder.out, line + "would install\nsite accepted: 1 file checked\n");
    ExpectProgramFolderUnchanged();
}

// The dry run takes each entry as the run does: of a destination listed
// twice the newer stands, and a stored version that is not one leaves the
// file out, so what verify says is what update then does.
TEST_F(VerifyTest, SaysWhatTheRunThenDoes) {
    site.Write("autoupdate.txt",
               "[Main]\nfilecount=3\n[File1]\nfilename=./x.so\nversion=1.5\nmoduletype=1\n"
               "[File2]\nfilename=x.so\nversion=2.0\nmoduletype=1\n"
               "[File3]\nfilename=x.so\nversion=1.9\nmoduletype=1\n");
    ASSERT_EQ(RunCli("publish " + site.Path().string() + " --key " + KeyFile(), scratch).status, 0);
    for (const char* name : {"autoupdate.txt", "autoupdate.txt.sig", "x.so"})
        server.Put(name, TempFolder::Read(site.Path() / name));
    const RunResult dry = Verify(ProgramDir());
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_NE(dry.out.find("./x.so\t1.5\t-\t-\twould not install: [File2] lists the same file at "
                           "version 2.0, which stands\n"),
              std::string::npos)
        << dry.out;
    EXPECT_NE(dry.out.find("\twould install\n"), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("x.so\t1.9\t-\t-\twould not install: [File2]"), std::string::npos)
        << dry.out;
    ExpectProgramFolderUnchanged();

    const RunResult run =
        RunCli("update --yes --base-url " + server.BaseUrl() + " " + ProgramDir(), scratch);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(TempFolder::Read(folder.Path() / "program/x.so"), "version 2.0");
    const RunResult again = Verify(ProgramDir());
    EXPECT_NE(again.out.find("x.so\t2.0\t11 bytes"), std::string::npos) << again.out;
    EXPECT_NE(again.out.find("up to date, would not install"), std::string::npos) << again.out;
}

TEST_F(VerifyTest, TamperedModuleFails) {
    server.Put("x.so", "version 2.1");
    const RunResult r = Verify(ProgramDir());
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.out.find("FAILS: x.so: its SHA-256 differs"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("site refused"), std::string::npos) << r.out;
    ExpectProgramFolderUnchanged();
}

TEST_F(VerifyTest, UnsignedSiteIsRefusedWhereAKeyIsTrusted) {
    server.Put("autoupdate.txt.sig", "");
    server.Fail("autoupdate.txt.sig", 404);
    const RunResult r = Verify(ProgramDir());
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("site refused: the manifest's signature"), std::string::npos) << r.out;
    ExpectProgramFolderUnchanged();
}

TEST_F(TarvexCliTest, UsageErrors) {
    EXPECT_EQ(RunCli("", scratch).status, 64);
    EXPECT_EQ(RunCli("update --yes --no", scratch).status, 64);
    EXPECT_EQ(RunCli("catalog drop", scratch).status, 64);
    EXPECT_EQ(RunCli("catalog list --base-url x", scratch).status, 64);
    EXPECT_EQ(RunCli("publish site", scratch).status, 64);  // no --key
    // The key-list commands: each names what it lacks.
    for (const auto& [command, says] : std::vector<std::pair<std::string, std::string>>{
             {"keys site", "keys needs one of init"},
             {"keys drop site", "keys needs one of init"},
             {"keys init site --root r.pub", "needs at least one --root and one --release"},
             {"keys add site", "need a --root or --release"},
             {"keys rotate site --release k.pub", "--release does not go with keys"},
             {"keys sign site", "needs --key"},
             {"keys renew site --root-threshold 0", "--root-threshold does not go with keys"},
             {"keys add site --root r.pub --root-threshold=65", "a number from 1 to 64"},
             {"sign site --key a --key b", "sign takes one --key"},
             {"sign", "sign needs the site folder"}}) {
        const RunResult r = RunCli(command, scratch);
        EXPECT_EQ(r.status, 64) << command;
        EXPECT_NE(r.err.find(says), std::string::npos) << command << ": " << r.err;
    }
    EXPECT_EQ(RunCli("--version", scratch).out, "tarvex-cli 1.0.0.1\n");
    const RunResult help = RunCli("--help", scratch);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("10 catalogue error"), std::string::npos);
}

}  // namespace

namespace {

// The README's move from one key to two of three release keys, and a
// revocation, typed as a publisher types them.
TEST_F(TarvexCliTest, APublisherMovesToTwoOfThreeAndRevokesAStolenKey) {
    const auto key = [&](const std::string& name) { return (scratch.Path() / name).string(); };
    for (const char* name : {"publisher", "root1", "root2", "root3", "rel1", "rel2", "rel3"})
        ASSERT_EQ(RunCli("keygen --out " + key(name), scratch).status, 0);
    InitCatalogue();
    folder.Write("program/data/update-keys", TempFolder::Read(key("publisher") + ".pub"));
    TempFolder site;
    const std::string dir = site.Path().string();
    const auto serve = [&] {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(site.Path()))
            if (entry.is_regular_file())
                server.Put(entry.path().lexically_relative(site.Path()).generic_string(),
                           TempFolder::Read(entry.path()));
    };
    const auto release = [&](const std::string& version, const std::string& keys) {
        site.Write("x.so", "version " + version);
        site.Write("autoupdate.txt", "[Main]\nfilecount=1\n[File1]\nfilename=x.so\nversion=" +
                                         version + "\nmoduletype=1\nauthor=a\nmodulename=x\n");
        return RunCli("publish " + dir + keys, scratch);
    };
    const std::string update = "update --yes --base-url " + server.BaseUrl() + " " + ProgramDir();

    RunResult r = RunCli("keys init " + dir + " --pinned " + key("publisher") + ".pub --root " +
                             key("root1") + ".pub --root=" + key("root2") + ".pub --root " +
                             key("root3") + ".pub --root-threshold 2 --release " + key("rel1") +
                             ".pub --release " + key("rel2") + ".pub --release " + key("rel3") +
                             ".pub --release-threshold=2 --valid-for 365d --key " +
                             key("publisher") + " --key " + key("root1"),
                         scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("key list 1 waits"), std::string::npos) << r.out;
    r = RunCli("keys sign " + dir + " --key " + key("root2"), scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("published " + dir + "/keys/1.txt"), std::string::npos) << r.out;

    r = release("2.0", " --key " + key("rel1"));
    ASSERT_EQ(r.status, 0) << r.err;
    serve();
    EXPECT_EQ(RunCli(update, scratch).status, 3) << "one of two release signatures";
    ASSERT_EQ(RunCli("sign " + dir + " --key " + key("rel2"), scratch).status, 0);
    serve();
    r = RunCli(update, scratch);
    EXPECT_EQ(r.status, 0) << r.err;
    r = RunCli("verify --base-url " + server.BaseUrl() + " " + ProgramDir(), scratch);
    EXPECT_NE(r.out.find("trusted: key list 1 (roots 2 of"), std::string::npos) << r.out;

    r = RunCli("keys remove " + dir + " --release " + key("rel1") + ".pub --key " + key("root1") +
                   " --key " + key("root3"),
               scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    r = release("3.0", " --key " + key("rel1") + " --key " + key("rel2"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is no release key of key list 2"), std::string::npos) << r.err;
    ASSERT_EQ(release("3.0", " --key " + key("rel2") + " --key " + key("rel3")).status, 0);
    serve();
    r = RunCli(update, scratch);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(TempFolder::Read(folder.Path() / "program/x.so"), "version 3.0");
    const std::filesystem::perms secret =
        std::filesystem::status(key("rel1")).permissions() & std::filesystem::perms::all;
    EXPECT_EQ(secret, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

}  // namespace

namespace {

// A scheduled run is quiet unless something changed or failed: one line on
// standard error (the journal), nothing on standard output.
TEST_F(TarvexCliTest, AScheduledRunSaysOneLineOnlyWhenSomethingHappened) {
    InitCatalogue();
    server.Put("autoupdate.txt",
               "[Main]\nfilecount=1\n[File1]\nfilename=x.so\nversion=2.0\n"
               "moduletype=1\nauthor=a\nmodulename=x\n");
    server.Put("x.so", std::string(5000, 'x'));
    const std::string scheduled =
        "update --scheduled --base-url " + server.BaseUrl() + " " + ProgramDir();
    RunResult r = RunCli(scheduled, scratch);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "tarvex-cli: installed x.so 2.0\n");
    r = RunCli(scheduled, scratch);
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.out + r.err, "");
    server.Put("autoupdate.txt", "[Main]\nfilecount=1\nrollout=half\n");
    r = RunCli(scheduled, scratch);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "tarvex: the manifest's rollout \"half\" is not a share from 0 to 100 per "
              "cent with at most two decimals\n");
    EXPECT_EQ(RunCli(scheduled + " --yes", scratch).status, 64);
}

}  // namespace

namespace {

// A desktop follows the channel it chose last; each channel keeps its own
// serial, so going back to stable is no replay; key lists are the site's.
TEST_F(TarvexCliTest, ADesktopFollowsItsChannelAndCanGoBack) {
    const std::string key = (scratch.Path() / "publisher").string();
    ASSERT_EQ(RunCli("keygen --out " + key, scratch).status, 0);
    InitCatalogue();
    folder.Write("program/data/update-keys", TempFolder::Read(key + ".pub"));
    TempFolder site;
    const auto release = [&](const std::string& channel, const std::string& version,
                             long long serial) {
        const std::string dir = channel == "stable" ? "" : "channels/" + channel + "/";
        site.Write(dir + "x.so", channel + " " + version);
        site.Write(dir + "autoupdate.txt",
                   "[Main]\nfilecount=1\n[File1]\nfilename=x.so\nversion=" + version +
                       "\nmoduletype=1\nauthor=a\nmodulename=x\n");
        const RunResult r =
            RunCli("publish " + site.Path().string() + " --key " + key + " --channel " + channel +
                       " --serial " + std::to_string(serial),
                   scratch);
        EXPECT_EQ(r.status, 0) << r.err;
        for (const char* name : {"x.so", "autoupdate.txt", "autoupdate.txt.sig"})
            server.Put(dir + name, TempFolder::Read(site.Path() / (dir + name)));
    };
    release("stable", "1.0", 100);
    release("beta", "2.0", 200);
    const std::string update = "update --yes --base-url " + server.BaseUrl() + " " + ProgramDir();
    const auto installed = [&] { return TempFolder::Read(folder.Path() / "program/x.so"); };

    ASSERT_EQ(RunCli(update, scratch).status, 0);
    EXPECT_EQ(installed(), "stable 1.0");
    RunResult r = RunCli(update + " --channel beta", scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(installed(), "beta 2.0");
    release("beta", "2.1", 201);
    ASSERT_EQ(RunCli(update, scratch).status, 0) << "the choice is remembered";
    EXPECT_EQ(installed(), "beta 2.1");
    release("stable", "3.0", 101);  // below beta's serial: stable keeps its own
    r = RunCli(update + " --channel stable", scratch);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(installed(), "stable 3.0");
    EXPECT_EQ(RunCli(update + " --channel Beta!", scratch).status, 64);
    r = RunCli(update + " --channel nightly", scratch);
    EXPECT_EQ(r.status, 2) << "a channel the site does not have";
    EXPECT_NE(r.err.find("channels/nightly/autoupdate.txt"), std::string::npos) << r.err;
    r = RunCli(update, scratch);
    EXPECT_EQ(r.status, 6) << "a channel that failed is not remembered: " << r.err;
}

}  // namespace
