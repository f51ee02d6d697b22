// Resumed downloads against real servers that honour ranges, ignore them or
// lie about their ETag: a cut transfer goes on from where it stopped, a file
// changed in between is never installed mixed, and the kept bytes live in a
// private folder that is never followed through a link.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "catalogue_fixture.h"
#include "engine/partial_downloads.h"
#include "scripted_server.h"
#include "trust/signature.h"

namespace {

std::string Sha256Of(const std::string& bytes) {
    TempFolder scratch;
    return *Sha256OfFile(scratch.Write("f", bytes));
}

std::string HeaderValue(const std::string& head, const std::string& name) {
    const size_t at = head.find("\r\n" + name + ": ");
    if (at == std::string::npos) return {};
    const size_t start = at + name.size() + 4;
    return head.substr(start, head.find("\r\n", start) - start);
}

// A module as a server sends it: honouring Range and If-Range or not,
// cutting its next replies short, counting the body bytes it sends.
struct ServedModule {
    std::string body;
    std::string etag = "\"v1\"";
    bool honoursRanges = true;
    int cutsLeft = 0;  // replies still to cut at half the file
    size_t bytesSent = 0;

    ScriptedServer::Reply Respond(const std::string& request) {
        const std::string range = HeaderValue(request, "Range");
        const std::string ifRange = HeaderValue(request, "If-Range");
        size_t from = 0;
        if (honoursRanges && range.rfind("bytes=", 0) == 0 && (ifRange.empty() || ifRange == etag))
            from = std::stoul(range.substr(6));
        std::string part = body.substr(from);
        std::string head = from > 0
                               ? "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
                                     std::to_string(from) + "-" + std::to_string(body.size() - 1) +
                                     "/" + std::to_string(body.size())
                               : "HTTP/1.1 200 OK";
        head += "\r\nContent-Length: " + std::to_string(part.size()) + "\r\nETag: " + etag +
                "\r\nConnection: close";
        if (cutsLeft > 0) {
            --cutsLeft;
            part.resize(std::min(part.size(), body.size() / 2 - std::min(from, body.size() / 2)));
        }
        bytesSent += part.size();
        return {head, part};
    }
};

class ResumeTest : public CatalogueFixture {
public:
    ResumeTest() {
        module.body = Body('a');
        server.Answer("x.so",
                      [this](const std::string& request) { return module.Respond(request); });
        Serve(module.body, "2.0");
    }
    static std::string Body(char fill) {
        std::string body(200000, fill);
        for (size_t i = 0; i < body.size(); i += 997) body[i] = static_cast<char>('0' + i % 10);
        return body;
    }
    // The manifest vouching for bytes at version.
    void Serve(const std::string& bytes, const std::string& version) {
        server.Put("autoupdate.txt",
                   "[Main]\nfilecount=1\n[File1]\nfilename=x.so\nversion=" + version +
                       "\nmoduletype=1\nauthor=a\nmodulename=x\nsize=" +
                       std::to_string(bytes.size()) + "\nsha256=" + Sha256Of(bytes) + "\n");
    }
    RunOutcome Run() {
        RecordingOwner owner(true);
        UpdateEngine engine(environment);
        engine.AttachDialog(&owner);
        const RunOutcome result = RunEngine(engine, server.BaseUrl());
        reason = result.reason;
        return result;
    }
    std::filesystem::path Kept() const {
        return PartialDownloads::FolderOf(program()) / Sha256Of(module.body);
    }
    std::string Installed() const {
        std::error_code ec;
        return std::filesystem::exists(program() / "x.so", ec)
                   ? TempFolder::Read(program() / "x.so")
                   : std::string();
    }

    ScriptedServer server;
    ServedModule module;
    std::string reason;
};

TEST_F(ResumeTest, ACutTransferGoesOnFromWhereItStopped) {
    // Measured: a transfer cut at 50 % fetches at most 55 % in the second run.
    const struct {
        const char* server;
        bool honoursRanges;
        double mostFetchedAgain;
    } cases[] = {{"honours ranges", true, 0.55}, {"ignores ranges", false, 1.0}};
    for (const auto& c : cases) {
        std::filesystem::remove(program() / "x.so");
        Register(1, "x.so", "1.0");
        module.honoursRanges = c.honoursRanges;
        module.cutsLeft = 1;
        module.bytesSent = 0;
        EXPECT_EQ(Run(), UpdateModuleFailed) << c.server;
        EXPECT_EQ(std::filesystem::file_size(Kept()), module.body.size() / 2) << c.server;
        struct stat kept {};
        ASSERT_EQ(::lstat(PartialDownloads::FolderOf(program()).c_str(), &kept), 0);
        EXPECT_EQ(kept.st_mode & 0777, 0700u);
        module.bytesSent = 0;
        EXPECT_EQ(Run(), UpdateSucceeded) << c.server << ": " << reason;
        EXPECT_EQ(Installed(), module.body) << c.server;
        const double fetched = static_cast<double>(module.bytesSent) / module.body.size();
        EXPECT_LE(fetched, c.mostFetchedAgain) << c.server;
        if (c.honoursRanges) {
            EXPECT_GE(fetched, 0.5);
        }
        EXPECT_FALSE(std::filesystem::exists(Kept())) << "gone once installed";
        EXPECT_TRUE(std::filesystem::is_empty(PartialDownloads::FolderOf(program())));
        // The next case starts from an older catalogue row again.
        std::filesystem::remove(CatalogPath(program()));
        CreateCatalog(program());
    }
}

TEST_F(ResumeTest, AFileChangedInBetweenIsNeverInstalledMixed) {
    module.cutsLeft = 1;
    EXPECT_EQ(Run(), UpdateModuleFailed);
    // The server changes the file but keeps its ETag: the rest continues
    // other bytes, and the whole fails its vouched-for hash.
    module.body = Body('b');
    EXPECT_EQ(Run(), UpdateModuleFailed);
    EXPECT_NE(reason.find("SHA-256 differs"), std::string::npos) << reason;
    EXPECT_EQ(Installed(), "");
    EXPECT_FALSE(
        std::filesystem::exists(PartialDownloads::FolderOf(program()) / Sha256Of(Body('a'))))
        << "the mixed bytes are dropped";
    // A new release of the changed file: the old kept bytes are not its.
    Serve(module.body, "3.0");
    module.etag = "\"v2\"";
    EXPECT_EQ(Run(), UpdateSucceeded) << reason;
    EXPECT_EQ(Installed(), module.body);
}

TEST_F(ResumeTest, KeptBytesOfAFileNoLongerListedAreRemoved) {
    module.cutsLeft = 1;
    EXPECT_EQ(Run(), UpdateModuleFailed);
    ASSERT_TRUE(std::filesystem::exists(Kept()));
    {
        // The dry run says so, and changes nothing.
        RecordingOwner owner(true);
        UpdateEngine engine(environment);
        engine.AttachDialog(&owner);
        std::vector<SiteFileReport> files;
        EXPECT_EQ(engine.CheckSite(server.BaseUrl(), {}, files), 0);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].reason, "a run here goes on from 100000 of 200000 bytes kept");
        EXPECT_EQ(std::filesystem::file_size(Kept()), 100000u);
    }
    server.Put("autoupdate.txt", "[Main]\nfilecount=0\n");
    EXPECT_EQ(Run(), UpdateUpToDate);
    EXPECT_TRUE(std::filesystem::is_empty(PartialDownloads::FolderOf(program())));
    module.cutsLeft = 1;
    EXPECT_EQ(Run(), UpdateUpToDate) << "a withdrawal fetches nothing";
    Serve(module.body, "2.0");
    EXPECT_EQ(Run(), UpdateModuleFailed);
    ASSERT_TRUE(std::filesystem::exists(Kept()));
    Register(1, "x.so", "5.0");  // listed, but no longer newer
    EXPECT_EQ(Run(), UpdateUpToDate);
    EXPECT_TRUE(std::filesystem::is_empty(PartialDownloads::FolderOf(program())));
}

TEST_F(ResumeTest, APartialFolderThatIsALinkIsRefused) {
    TempFolder elsewhere;
    std::filesystem::create_directories(program() / "data");
    std::filesystem::create_directory_symlink(elsewhere.Path(),
                                              PartialDownloads::FolderOf(program()));
    EXPECT_EQ(Run(), UpdateModuleFailed);
    EXPECT_NE(reason.find("is not a folder of this user's alone"), std::string::npos) << reason;
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.Path()));
    EXPECT_EQ(Installed(), "");
}

}  // namespace
