// The transfer operations of the update run: opening a URL and streaming a
// body into a file with progress in KiB and the size line.
#include "engine/http_transfer.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>

#include "engine/canonical_url.h"
#include "engine/curl_easy.h"
#include "engine/engine_texts.h"
#include "engine/file_descriptor.h"
#include "engine/http_request.h"
#include "engine/run_log.h"
#include "engine/update_owner.h"

namespace {

constexpr double kibPerByte = 1.0 / 1024.0;
// The progress bar counts KiB: bytes shifted right by this.
constexpr int kibShift = 10;
constexpr long httpOk = 200;
constexpr long httpPartial = 206;
constexpr long httpForbidden = 403;
constexpr long httpNotFound = 404;
constexpr long httpGone = 410;

// The size line: its text in the owner's language, then "X/YK".
std::string SizeLine(const std::string& text, uint64_t received, uint64_t length) {
    char figures[96];
    std::snprintf(figures, sizeof figures, " %.2f/%.2fK",
                  static_cast<double>(received) * kibPerByte,
                  static_cast<double>(length) * kibPerByte);
    return text + figures;
}

}  // namespace

HttpTransfer::HttpTransfer(CurlEasy& easy, const TransferLimits& transferLimits, RunLog& runLog)
    : handle(easy), limits(transferLimits), log(runLog) {}

std::unique_ptr<HttpRequest> HttpTransfer::OpenUrl(const std::string& url, bool* absent) {
    if (absent) *absent = false;
    if (handle.Handle() == nullptr) {
        log.Complain("the HTTP library could not start");
        return nullptr;
    }
    const std::optional<std::string> canonical = CanonicalizeUrl(url);
    if (!canonical) {
        log.Complain(url + ": not an http or https URL of at most " +
                     std::to_string(maxCanonicalUrlBytes) + " bytes; check the base URL");
        return nullptr;
    }
    std::unique_ptr<HttpRequest> request =
        HttpRequest::Start(handle.Handle(), *canonical, limits.headerTimeout);
    if (!request) {
        const std::string detail = handle.ErrorText();
        log.Complain(*canonical + ": no answer (" + (detail.empty() ? "no response" : detail) +
                     "); check the base URL and that the update server is running");
        return nullptr;
    }
    // A server that never finishes its headers has failed the transfer;
    // DownloadToFile reports it.
    if (request->HeadersTimedOut()) return request;
    // No range was asked for, so only 200 is the whole file: an error page or
    // a partial reply must never be installed.
    // Object stores answer 403 for a file they do not hold.
    const long status = request->Status();
    if (absent && (status == httpNotFound || status == httpForbidden || status == httpGone)) {
        *absent = true;
        return nullptr;
    }
    if (request->Status() != httpOk) {
        log.Complain(*canonical + ": HTTP status " + std::to_string(request->Status()) +
                     (request->Status() == httpNotFound
                          ? " (not found; check the base URL and that the file "
                            "is on the site)"
                          : ""));
        return nullptr;
    }
    return request;
}

std::unique_ptr<HttpRequest> HttpTransfer::OpenFrom(const std::string& url, uint64_t offset,
                                                    const std::string& validator) {
    const std::optional<std::string> canonical = CanonicalizeUrl(url);
    if (handle.Handle() == nullptr || !canonical) return OpenUrl(url);
    std::unique_ptr<HttpRequest> request = HttpRequest::Start(
        handle.Handle(), *canonical, limits.headerTimeout,
        {"Range: bytes=" + std::to_string(offset) + "-", "If-Range: " + validator});
    if (!request) {
        log.Complain(*canonical + ": no answer (" + handle.ErrorText() +
                     "); check the base URL and that the update server is running");
        return nullptr;
    }
    if (request->HeadersTimedOut() || request->Status() == httpOk ||
        request->Status() == httpPartial)
        return request;
    log.Complain(*canonical + ": HTTP status " + std::to_string(request->Status()) +
                 " to a request for the rest of the file");
    return nullptr;
}

bool HttpTransfer::AppendTo(HttpRequest& request, FileDescriptor& file, const std::string& name,
                            uint64_t maxBytes, UpdateOwner& owner) {
    if (request.HeadersTimedOut()) {
        log.Complain(name + ": the server did not send its headers in time");
        return false;
    }
    const std::optional<uint64_t> length = request.ContentLength();
    if (!length || request.ConflictingLengths() || *length > maxBytes) {
        log.Complain(name + ": the rest of the file comes without one Content-Length of at most " +
                     std::to_string(maxBytes) + " bytes");
        return false;
    }
    if (Receive(request, file, *length, owner)) return true;
    log.Complain(name + (request.TimedOutSlow() ? ": the transfer was too slow"
                                                : ": the transfer broke off; the next run goes "
                                                  "on from where it stopped"));
    return false;
}

bool HttpTransfer::DownloadToFile(HttpRequest& request, const std::filesystem::path& path,
                                  uint64_t maxBytes, UpdateOwner& owner) {
    const std::string name = path.filename().string();
    if (request.HeadersTimedOut()) {
        log.Complain(name + ": the server did not send its headers in time");
        return false;
    }
    if (request.ConflictingLengths()) {
        log.Complain(name + ": the reply has disagreeing Content-Length headers");
        return false;
    }
    const std::optional<uint64_t> length = request.ContentLength();
    if (!length) {
        log.Complain(name + ": the reply has no Content-Length");
        return false;
    }
    if (*length > maxBytes) {
        log.Complain(name + ": the server sends " + std::to_string(*length) +
                     " bytes, more than the " + std::to_string(maxBytes) + " this run accepts");
        return false;
    }
    struct statvfs space {};
    if (::statvfs(path.parent_path().c_str(), &space) == 0 &&
        static_cast<uint64_t>(space.f_bavail) * space.f_frsize < *length) {
        log.Complain(name + ": " + std::to_string(*length) + " bytes do not fit into " +
                     path.parent_path().string());
        return false;
    }
    // Created new in the run's own folder: nothing planted there is written.
    FileDescriptor file = CreateNewFileNoFollow(path);
    if (!file.IsOpen()) {
        log.Complain(name + ": cannot create " + path.string());
        return false;
    }
    if (!Receive(request, file, *length, owner)) {
        file.Close();
        ::unlink(path.c_str());
        log.Complain(name + (request.TimedOutSlow()
                                 ? ": the transfer was too slow"
                                 : ": the transfer broke off, or the body differs from its "
                                   "Content-Length of " +
                                       std::to_string(*length) + " bytes"));
        return false;
    }
    return true;
}

bool HttpTransfer::Receive(HttpRequest& request, FileDescriptor& file, uint64_t length,
                           UpdateOwner& owner) {
    owner.SetProgressRange(0, length >> kibShift);
    const std::string sizeText = owner.Translate(engine_text::sizeLine);
    uint64_t received = 0;
    bool refused = false;
    const bool transferred = request.ReadBody([&](const char* data, size_t size) {
        received += size;
        // More than announced is not the file the server meant: stop at once.
        if (received > length) return !(refused = true);
        owner.SetProgressPos(received >> kibShift);
        owner.SetSizeText(SizeLine(sizeText, received, length));
        owner.Refresh();
        // A short write fails the transfer: a partial module must not pass.
        refused = !file.WriteAll(data, size);
        return !refused;
    });
    const bool closed = file.Close();
    return transferred && !refused && closed && received == length;
}
