// The transfer operations against a real server on 127.0.0.1.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "engine/canonical_url.h"
#include "engine/connectivity.h"
#include "engine/http_request.h"
#include "engine/private_temp_folder.h"
#include "engine/update_engine.h"
#include "recording_owner.h"
#include "temp_folder.h"
#include "update_server.h"

namespace {

class HttpTransferTest : public ::testing::Test {
protected:
    HttpTransferTest() {
        EngineEnvironment environment;
        environment.programFolder = folder.Path() / "program";
        engine = std::make_unique<UpdateEngine>(environment);
        engine->AttachDialog(&owner);
    }

    // Opens and downloads name into the temp folder; the file's path is target.
    bool Download(const std::string& name) {
        std::unique_ptr<HttpRequest> request = engine->OpenUrl(server.BaseUrl() + name);
        if (!request) return false;
        return engine->DownloadToFile(*request, target);
    }

    TempFolder folder;
    UpdateServer server;
    RecordingOwner owner;
    std::unique_ptr<UpdateEngine> engine;
    std::filesystem::path target = folder.Path() / "download.bin";
};

TEST_F(HttpTransferTest, HundredKibReportRangePositionsAndSizeLine) {
    const std::string body(100 * 1024, 'x');
    server.Put("m.so", body);
    ASSERT_TRUE(Download("m.so"));
    EXPECT_EQ(TempFolder::Read(target), body);
    EXPECT_EQ(owner.rangeLow, 0u);
    EXPECT_EQ(owner.rangeHigh, 100u);
    ASSERT_FALSE(owner.positions.empty());
    EXPECT_EQ(owner.positions.back(), 100u);
    for (size_t i = 1; i < owner.positions.size(); ++i)
        EXPECT_LE(owner.positions[i - 1], owner.positions[i]);
    EXPECT_EQ(owner.sizeLines.back(), "文件已经下载 100.00/100.00K");
    EXPECT_EQ(owner.refreshes, static_cast<int>(owner.sizeLines.size()));
    EXPECT_EQ(server.LastUserAgent(), "AutoUpdateAgent");
}

TEST_F(HttpTransferTest, RangeOfSixtyFourMibAndMoreIsNotWrapped) {
    server.Put("big.so", std::string((64u << 20) + 1024, 'b'));
    ASSERT_TRUE(Download("big.so"));
    EXPECT_EQ(owner.rangeHigh, 65537u);
    EXPECT_EQ(owner.positions.back(), 65537u);
    EXPECT_EQ(owner.sizeLines.back(), "文件已经下载 65537.00/65537.00K");
    EXPECT_EQ(std::filesystem::file_size(target), (64u << 20) + 1024);
}

TEST_F(HttpTransferTest, ErrorStatusesGiveNoRequest) {
    server.Fail("forbidden.so", 403);
    server.Fail("broken.so", 500);
    EXPECT_EQ(engine->OpenUrl(server.BaseUrl() + "missing.so"), nullptr);
    EXPECT_EQ(engine->OpenUrl(server.BaseUrl() + "forbidden.so"), nullptr);
    EXPECT_EQ(engine->OpenUrl(server.BaseUrl() + "broken.so"), nullptr);
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(HttpTransferTest, RedirectIsFollowed) {
    server.Put("real.so", "payload");
    server.Redirect("moved.so", "real.so");
    ASSERT_TRUE(Download("moved.so"));
    EXPECT_EQ(TempFolder::Read(target), "payload");
}

TEST_F(HttpTransferTest, FailedDownloadsLeaveNothingBehind) {
    server.Put("chunked.so", std::string(5000, 'c'), UpdateServer::Mode::Chunked);
    server.Put("cut.so", std::string(64 * 1024, 't'), UpdateServer::Mode::Truncated);
    for (const char* name : {"chunked.so", "cut.so"}) {
        EXPECT_FALSE(Download(name)) << name;
        EXPECT_FALSE(std::filesystem::exists(target)) << name;
    }
}

TEST_F(HttpTransferTest, EmptyBodySucceedsWithoutSizeLine) {
    server.Put("empty.so", "");
    ASSERT_TRUE(Download("empty.so"));
    EXPECT_TRUE(std::filesystem::exists(target));
    EXPECT_EQ(std::filesystem::file_size(target), 0u);
    EXPECT_EQ(owner.rangeHigh, 0u);
    EXPECT_TRUE(owner.sizeLines.empty());
}

// Whatever was planted at the download's name, link or file, is never written.
TEST_F(HttpTransferTest, DownloadOnlyEverCreatesANewFile) {
    const std::filesystem::path victim = folder.Write("victim.txt", "keep me");
    std::filesystem::create_symlink(victim, target);
    server.Put("m.so", "evil");
    EXPECT_FALSE(Download("m.so"));
    EXPECT_EQ(TempFolder::Read(victim), "keep me");
    std::filesystem::remove(target);
    folder.Write("download.bin", "planted");
    EXPECT_FALSE(Download("m.so"));
    EXPECT_EQ(TempFolder::Read(target), "planted");
}

TEST_F(HttpTransferTest, NoServerGivesNoRequest) {
    int port = 0;
    {
        UpdateServer stopped;  // a port nobody listens on once it has stopped
        port = stopped.Port();
    }
    EXPECT_EQ(engine->OpenUrl("http://127.0.0.1:" + std::to_string(port) + "/update/x"), nullptr);
}

TEST(CanonicalUrlTest, UnsafeBytesAreEncodedAndTooLongUrlsRefused) {
    EXPECT_EQ(CanonicalizeUrl("http://127.0.0.1:8080/update/my module.so"),
              "http://127.0.0.1:8080/update/my%20module.so");
    EXPECT_EQ(CanonicalizeUrl("http://host/update/a\"b<c>.so"),
              "http://host/update/a%22b%3Cc%3E.so");
    EXPECT_EQ(CanonicalizeUrl("http://host/update/人.so"), "http://host/update/%E4%BA%BA.so");
    EXPECT_FALSE(CanonicalizeUrl("file:///etc/passwd"));
    EXPECT_FALSE(CanonicalizeUrl("not a url"));
    const std::string prefix = "http://host/update/";
    EXPECT_TRUE(CanonicalizeUrl(prefix + std::string(maxCanonicalUrlBytes - prefix.size(), 'a')));
    EXPECT_FALSE(
        CanonicalizeUrl(prefix + std::string(maxCanonicalUrlBytes - prefix.size() + 1, 'a')));
}

TEST(PrivateTempFolderTest, EachRunHasAFreshPrivateFolderRemovedAtItsEnd) {
    TempFolder root;
    std::string error;
    std::filesystem::path first;
    {
        std::optional<PrivateTempFolder> a = PrivateTempFolder::Make(root.Path(), error);
        std::optional<PrivateTempFolder> b = PrivateTempFolder::Make(root.Path(), error);
        ASSERT_TRUE(a && b) << error;
        EXPECT_NE(a->Path(), b->Path());
        struct stat info {};
        ASSERT_EQ(lstat(a->Path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        first = a->Path();
        std::ofstream(first / "left.bin") << "x";
    }
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_FALSE(PrivateTempFolder::Make(root.Path() / "missing", error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

TEST(ConnectivityTest, LoopbackHostsCountAsConnected) {
    SystemConnectivity check;
    EXPECT_TRUE(check.IsConnected("http://127.0.0.1:9/update/"));
    EXPECT_TRUE(check.IsConnected("http://localhost/update/"));
}

}  // namespace
