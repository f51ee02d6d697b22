// URLs encoded as a browser would, then checked and written by libcurl.
#include "engine/canonical_url.h"

#include <cstdio>
#include <string_view>

#include "engine/curl_url.h"

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
    const std::optional<CurlUrl> parsed = CurlUrl::Parse(encoded);
    if (!parsed) return std::nullopt;
    const std::optional<std::string> scheme = parsed->Part(CURLUPART_SCHEME);
    if (scheme != "http" && scheme != "https") return std::nullopt;
    std::optional<std::string> canonical = parsed->Part(CURLUPART_URL);
    if (!canonical || canonical->size() > maxCanonicalUrlBytes) return std::nullopt;
    return canonical;
}

std::string FolderUrl(const std::string& baseUrl) {
    return baseUrl.empty() || baseUrl.back() == '/' ? baseUrl : baseUrl + "/";
}
