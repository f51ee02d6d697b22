// A run's HTTP side over the engine's handle: opening a URL with its status
// and headers checked, and streaming a body into a new file while the owner
// shows progress in KiB and the size line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/transfer_limits.h"

class CurlEasy;
class FileDescriptor;
class HttpRequest;
class RunLog;
class UpdateOwner;

class HttpTransfer {
public:
    HttpTransfer(CurlEasy& handle, const TransferLimits& limits, RunLog& log);

    // A request whose status and headers have arrived, or null (no response,
    // a status other than 200, a URL that cannot be canonicalised), the
    // reason then told. With absent given, a 404, 403 or 410 is not a
    // failure: it sets *absent and returns null without a word (a file a
    // site may not have).
    std::unique_ptr<HttpRequest> OpenUrl(const std::string& url, bool* absent = nullptr);
    // Asks for url from byte offset on, if it is still the file validator
    // (its ETag or Last-Modified) names: a 206 continues it, a 200 is the
    // whole file afresh. Null, the reason told, for anything else.
    std::unique_ptr<HttpRequest> OpenFrom(const std::string& url, uint64_t offset,
                                          const std::string& validator);
    // Streams the body onto the end of file, which holds what came before:
    // refused before a byte is read when the headers are late, the length
    // is missing or disagrees, or the body would pass maxBytes. false, the
    // reason told, on any failure; every byte received stays in file.
    bool AppendTo(HttpRequest& request, FileDescriptor& file, const std::string& name,
                  uint64_t maxBytes, UpdateOwner& owner);
    // Streams the body into path, created afresh without following a
    // symlink, reporting progress to owner. false when the file cannot be
    // made, the response has no Content-Length or one over maxBytes or over
    // the free space beside path (refused before any byte is read), the
    // transfer fails, a write is short or the body's length differs from the
    // announced one; nothing is then left at path.
    bool DownloadToFile(HttpRequest& request, const std::filesystem::path& path, uint64_t maxBytes,
                        UpdateOwner& owner);

private:
    bool Receive(HttpRequest& request, FileDescriptor& file, uint64_t length, UpdateOwner& owner);

    CurlEasy& handle;
    const TransferLimits& limits;
    RunLog& log;
};
