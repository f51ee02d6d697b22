// Version, serial, expiry and duration text, each read strictly; versions
// compared both ways must agree with each other.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/update_engine.h"
#include "publish/publish.h"
#include "trust/manifest_rules.h"
#include "trust/manifest_stamp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ParseVersion(text);
    ParseSerial(text);
    ParseDuration(text);
    if (const std::optional<std::time_t> when = ParseExpiry(text))
        if (ParseExpiry(FormatExpiry(*when)) != when) std::abort();
    // Two versions: before and after the first blank.
    const size_t blank = text.find(' ');
    const std::string a = text.substr(0, blank);
    const std::string b = blank == std::string::npos ? "" : text.substr(blank + 1);
    const int ab = UpdateEngine::CompareVersions(a, b);
    const int ba = UpdateEngine::CompareVersions(b, a);
    if ((ab == 1 && ba != -1) || (ab == -1 && ba != 1) || (ab == 0 && ba != 0)) std::abort();
    return 0;
}
