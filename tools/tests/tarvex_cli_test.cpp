// tarvex-cli run as a process against a real server and catalogue.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <memory>

#include "run_command.h"
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
protected:
    std::string ProgramDir() const {
        return "--program-dir " + (folder.Path() / "program").string();
    }

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
    EXPECT_NE(r.err.find("cannot open catalogue"), std::string::npos) << r.err;
    EXPECT_EQ(RunCli("catalog list " + ProgramDir(), scratch).status, 10);
}

TEST_F(TarvexCliTest, FailuresPrintTheNetworkMessage) {
    ASSERT_EQ(RunCli("catalog init " + ProgramDir(), scratch).status, 0);
    RunResult r =
        RunCli("update --yes --base-url=" + server.BaseUrl() + " " + ProgramDir(), scratch);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "下载文件失败，请检查网络\n");
}

TEST_F(TarvexCliTest, UsageErrors) {
    EXPECT_EQ(RunCli("", scratch).status, 64);
    EXPECT_EQ(RunCli("update --yes --no", scratch).status, 64);
    EXPECT_EQ(RunCli("catalog drop", scratch).status, 64);
    EXPECT_EQ(RunCli("catalog list --base-url x", scratch).status, 64);
    EXPECT_EQ(RunCli("publish site", scratch).status, 64);  // no --key
    EXPECT_EQ(RunCli("--version", scratch).out, "tarvex-cli 1.0.0.1\n");
    const RunResult help = RunCli("--help", scratch);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("10 catalogue error"), std::string::npos);
}

}  // namespace
