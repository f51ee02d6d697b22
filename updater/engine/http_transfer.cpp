// The transfer operations of the update run: connectivity, opening a URL and
// streaming a body into a file with progress in KiB and the size line.
#include <cstdio>

#include "engine/canonical_url.h"
#include "engine/connectivity.h"
#include "engine/file_descriptor.h"
#include "engine/http_request.h"
#include "engine/private_temp_folder.h"
#include "engine/update_engine.h"
#include "engine/update_owner.h"

namespace {

constexpr double kibPerByte = 1.0 / 1024.0;

std::string SizeLine(uint64_t received, uint64_t length) {
    char line[128];
    std::snprintf(line, sizeof line, "文件已经下载 %.2f/%.2fK",
                  static_cast<double>(received) * kibPerByte,
                  static_cast<double>(length) * kibPerByte);
    return line;
}

}  // namespace

bool UpdateEngine::IsConnected() {
    if (internetHandle.Handle() == nullptr) return false;
    SystemConnectivity system;
    ConnectivityCheck& check = environment.connectivity ? *environment.connectivity : system;
    return check.IsConnected(connectivityUrl);
}

std::unique_ptr<HttpRequest> UpdateEngine::OpenUrl(const std::string& url) {
    if (internetHandle.Handle() == nullptr) return nullptr;
    const std::optional<std::string> canonical = CanonicalizeUrl(url);
    if (!canonical) return nullptr;
    std::unique_ptr<HttpRequest> request = HttpRequest::Start(internetHandle.Handle(), *canonical);
    // Only a success is a file: an error page must never be installed.
    if (!request || request->Status() < 200 || request->Status() > 299) return nullptr;
    return request;
}

bool UpdateEngine::DownloadToFile(HttpRequest& request, const std::filesystem::path& path) {
    if (owner == nullptr) return false;
    FileDescriptor file = CreateFileNoFollow(path);
    if (!file.IsOpen()) return false;
    const std::optional<uint64_t> length = request.ContentLength();
    if (!length) return false;

    owner->SetProgressRange(0, *length >> 10);
    uint64_t received = 0;
    bool writeFailed = false;
    const bool transferred = request.ReadBody([&](const char* data, size_t size) {
        received += size;
        owner->SetProgressPos(received >> 10);
        owner->SetSizeText(SizeLine(received, *length));
        owner->Refresh();
        // A short write fails the transfer: a partial module must not pass.
        writeFailed = !file.WriteAll(data, size);
        return !writeFailed;
    });
    const bool closed = file.Close();
    // A body longer or shorter than announced is not the file the server meant.
    return transferred && !writeFailed && closed && received == *length;
}
