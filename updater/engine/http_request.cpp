// Header-first HTTP transfer on a curl multi handle with a paused write.
#include "engine/http_request.h"

#include <string_view>

#include "manifest/text_pieces.h"

std::unique_ptr<HttpRequest> HttpRequest::Start(CURL* easy, const std::string& url,
                                                std::chrono::milliseconds headerTimeout,
                                                const std::vector<std::string>& headers) {
    CURLM* multi = curl_multi_init();
    if (multi == nullptr) return nullptr;
    std::unique_ptr<HttpRequest> request(new HttpRequest(easy, multi));
    for (const std::string& header : headers)
        if (curl_slist* more = curl_slist_append(request->requestHeaders, header.c_str()))
            request->requestHeaders = more;
        else
            return nullptr;
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, request->requestHeaders);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpRequest::OnWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, request.get());
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HttpRequest::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, request.get());
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) return nullptr;
    const auto deadline = std::chrono::steady_clock::now() + headerTimeout;
    request->Drive([&r = *request, deadline] {
        return r.bodyWaiting || std::chrono::steady_clock::now() >= deadline;
    });
    // Stopped before the first body byte of a transfer still running: the
    // headers did not come in time. (A finished transfer, an empty body
    // included, had its headers.)
    request->timedOut = !request->bodyWaiting && !request->finished;
    if (request->timedOut) return request;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &request->status);
    if (request->status == 0) return nullptr;
    return request;
}

HttpRequest::HttpRequest(CURL* easyHandle, CURLM* multiHandle)
    : easy(easyHandle), multi(multiHandle) {}

HttpRequest::~HttpRequest() {
    curl_multi_remove_handle(multi, easy);
    curl_multi_cleanup(multi);
    // The easy handle goes back to the engine without pointers into this object.
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, nullptr);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, nullptr);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(requestHeaders);
}

bool HttpRequest::ConflictingLengths() const {
    for (const std::string& value : contentLengths)
        if (value != contentLengths.front()) return true;
    return false;
}

// Keeps the Content-Length values of the latest response: a status line
// starts a new one (after a redirect or an interim reply).
size_t HttpRequest::OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* request = static_cast<HttpRequest*>(self);
    const std::string_view line(data, size * count);
    if (line.rfind("HTTP/", 0) == 0) {
        request->contentLengths.clear();
        request->etag.clear();
        request->lastModified.clear();
        request->contentRange.clear();
    }
    const auto value = [&line](std::string_view name) -> std::optional<std::string> {
        if (line.size() <= name.size() || AsciiLower(line.substr(0, name.size())) != name)
            return std::nullopt;
        return Trimmed(line.substr(name.size()));
    };
    if (auto length = value("content-length:")) request->contentLengths.push_back(*length);
    if (auto tag = value("etag:")) request->etag = *tag;
    if (auto modified = value("last-modified:")) request->lastModified = *modified;
    if (auto range = value("content-range:")) request->contentRange = *range;
    return size * count;
}

std::optional<uint64_t> HttpRequest::ContentLength() const {
    if (ConflictingLengths()) return std::nullopt;
    curl_off_t length = -1;
    if (curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK ||
        length < 0)
        return std::nullopt;
    return static_cast<uint64_t>(length);
}

// libcurl's contract: returning anything but the byte count fails the
// transfer; CURL_WRITEFUNC_PAUSE keeps the bytes and hands them over again
// once the transfer is resumed.
size_t HttpRequest::OnWrite(char* data, size_t size, size_t count, void* self) {
    auto* request = static_cast<HttpRequest*>(self);
    const size_t bytes = size * count;
    if (request->sink == nullptr) {
        request->bodyWaiting = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (!(*request->sink)(data, bytes)) {
        request->sinkRefused = true;
        return 0;
    }
    return bytes;
}

void HttpRequest::Drive(const std::function<bool()>& stop) {
    while (!finished && !stop()) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            finished = true;
            result = CURLE_FAILED_INIT;
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                finished = true;
                result = message->data.result;
            }
        }
        if (finished || stop()) break;
        curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
}

bool HttpRequest::ReadBody(const Sink& bodySink) {
    sink = &bodySink;
    if (bodyWaiting) {
        bodyWaiting = false;
        // Resuming may deliver the held bytes at once, through the sink.
        curl_easy_pause(easy, CURLPAUSE_CONT);
    }
    Drive([] { return false; });
    sink = nullptr;
    return finished && result == CURLE_OK && !sinkRefused;
}
