#include "engine/canonical_url.h"

#include <curl/curl.h>

#include <cstdio>
#include <memory>
#include <string_view>

namespace {

bool IsUnsafe(unsigned char c) {
    return c <= 0x20 || c >= 0x7f ||
           std::string_view("\"<>\\^`{|}").find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

std::optional<std::string> CanonicalizeUrl(const std::string& url) {
    std::string encoded;
    for (unsigned char c : url) {
        if (!IsUnsafe(c)) {
            encoded.push_back(static_cast<char>(c));
            continue;
        }
        char escape[4];
        std::snprintf(escape, sizeof escape, "%%%02X", c);
        encoded += escape;
    }
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> handle(curl_url(), curl_url_cleanup);
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, encoded.c_str(), 0) != CURLUE_OK)
        return std::nullopt;
    char* scheme = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) return std::nullopt;
    const std::string schemeText(scheme);
    curl_free(scheme);
    if (schemeText != "http" && schemeText != "https") return std::nullopt;
    char* canonical = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_URL, &canonical, 0) != CURLUE_OK) return std::nullopt;
    std::string result(canonical);
    curl_free(canonical);
    if (result.size() > maxCanonicalUrlBytes) return std::nullopt;
    return result;
}
