// A started HTTP transfer whose final status line and headers have arrived
// and whose body has not been read yet. It borrows the engine's easy handle
// for its lifetime; closing it (destruction) ends the transfer.
//
// Invariant: the write callback pauses the transfer at the first body bytes
// while no sink is set, so opening reads headers only; ReadBody then streams
// every byte to the sink, in order, exactly once.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class HttpRequest {
public:
    // Receives each chunk of the body; returning false aborts the transfer.
    using Sink = std::function<bool(const char* data, size_t size)>;

    // Starts the transfer of url on easy and waits for the final headers
    // (redirects followed). Null when no response arrived; a request whose
    // headers did not arrive within headerTimeout comes back HeadersTimedOut.
    // headers: further request header lines ("Range: bytes=10-").
    static std::unique_ptr<HttpRequest> Start(CURL* easy, const std::string& url,
                                              std::chrono::milliseconds headerTimeout,
                                              const std::vector<std::string>& headers = {});
    ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // Final status code.
    long Status() const { return status; }
    // Content-Length of the final response, when the server sent exactly one
    // value (repeating the same value counts as one).
    std::optional<uint64_t> ContentLength() const;
    // The final response carried Content-Length headers that disagree.
    bool ConflictingLengths() const;
    bool HeadersTimedOut() const { return timedOut; }
    // The final response's ETag, Last-Modified and Content-Range, as sent
    // (empty when absent).
    const std::string& ETag() const { return etag; }
    const std::string& LastModified() const { return lastModified; }
    const std::string& ContentRange() const { return contentRange; }
    // The transfer ended because it stayed below the low-speed limit.
    bool TimedOutSlow() const { return result == CURLE_OPERATION_TIMEDOUT; }
    // Streams the rest of the body to sink. true when the transfer completed
    // without error and the sink took every chunk.
    bool ReadBody(const Sink& sink);

private:
    HttpRequest(CURL* easy, CURLM* multi);
    static size_t OnWrite(char* data, size_t size, size_t count, void* self);
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    // Drives the transfer until stop() holds or it ends.
    void Drive(const std::function<bool()>& stop);

    CURL* easy;
    CURLM* multi;
    const Sink* sink = nullptr;
    bool bodyWaiting = false;  // paused at the first body bytes
    bool finished = false;
    bool sinkRefused = false;
    CURLcode result = CURLE_OK;
    long status = 0;
    bool timedOut = false;
    std::vector<std::string> contentLengths;  // of the latest response's headers
    std::string etag;
    std::string lastModified;
    std::string contentRange;
    curl_slist* requestHeaders = nullptr;
};
