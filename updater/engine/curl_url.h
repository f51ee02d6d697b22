// Owner of one parsed URL (libcurl's CURLU) and the parts read from it.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <optional>
#include <string>

class CurlUrl {
public:
    // Nothing when text does not parse as a URL.
    static std::optional<CurlUrl> Parse(const std::string& text);

    // One part (CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_URL, ...), or
    // nothing when the URL has none.
    std::optional<std::string> Part(CURLUPart part) const;

private:
    explicit CurlUrl(CURLU* parsed) : handle(parsed, curl_url_cleanup) {}

    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> handle;
};
