// The owner of one libcurl URL handle.
#include "engine/curl_url.h"

std::optional<CurlUrl> CurlUrl::Parse(const std::string& text) {
    CURLU* parsed = curl_url();
    if (parsed == nullptr) return std::nullopt;
    CurlUrl url(parsed);
    if (curl_url_set(parsed, CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) return std::nullopt;
    return url;
}

std::optional<std::string> CurlUrl::Part(CURLUPart part) const {
    char* raw = nullptr;
    if (curl_url_get(handle.get(), part, &raw, 0) != CURLUE_OK) return std::nullopt;
    std::string text(raw);
    curl_free(raw);
    return text;
}
