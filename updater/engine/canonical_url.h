// URL canonicalisation as a browser does it: unsafe bytes percent-encoded,
// then parsed and written back by libcurl.
#pragma once

#include <optional>
#include <string>

// The longest canonical URL a request is made with, in bytes.
inline constexpr size_t maxCanonicalUrlBytes = 1023;

// Nothing when url does not parse as an http or https URL or its canonical
// form is longer than maxCanonicalUrlBytes.
std::optional<std::string> CanonicalizeUrl(const std::string& url);

// The update site's folder: baseUrl with a final "/" when it has none, since
// file names are appended to it.
std::string FolderUrl(const std::string& baseUrl);
