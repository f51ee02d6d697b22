// Owner of one libcurl easy handle with what hangs off it: the request header
// list and the error buffer. Copy is deleted; the destructor frees all.
#pragma once

#include <curl/curl.h>

#include <array>

class CurlEasy {
public:
    CurlEasy();
    ~CurlEasy();
    CurlEasy(const CurlEasy&) = delete;
    CurlEasy& operator=(const CurlEasy&) = delete;

    // Null when libcurl could not make a handle.
    CURL* Handle() const { return easy; }
    // A transfer slower than bytesPerSecond over seconds fails.
    void SetLowSpeedLimit(long bytesPerSecond, long seconds);
    // libcurl's detail of the last failure (may be empty).
    const char* ErrorText() const { return errorBuffer.data(); }

private:
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    std::array<char, CURL_ERROR_SIZE> errorBuffer{};
};
