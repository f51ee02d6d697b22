// Serials and expiry dates, parsed strictly.
#include "trust/manifest_stamp.h"

#include <chrono>

#include "manifest/ini_file.h"
#include "trust/manifest_rules.h"

namespace {

constexpr size_t maxSerialDigits = 18;
// "YYYY-MM-DDTHH:MM:SSZ": the separators and where they stand.
constexpr std::string_view expiryPattern = "0000-00-00T00:00:00Z";

// The number at text[at, at + length), all digits by the pattern check.
int Field(std::string_view text, size_t at, size_t length) {
    int value = 0;
    for (size_t i = at; i < at + length; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

}  // namespace

std::optional<long long> ParseSerial(std::string_view text) {
    if (text.empty() || text.size() > maxSerialDigits || !AllDigits(text)) return std::nullopt;
    long long value = 0;
    for (char c : text) value = value * 10 + (c - '0');
    return value;
}

std::optional<std::time_t> ParseExpiry(std::string_view text) {
    if (text.size() != expiryPattern.size()) return std::nullopt;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digitWanted = expiryPattern[i] == '0';
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (digitWanted ? !digit : text[i] != expiryPattern[i]) return std::nullopt;
    }
    using namespace std::chrono;
    const year_month_day date{year{Field(text, 0, 4)},
                              month{static_cast<unsigned>(Field(text, 5, 2))},
                              day{static_cast<unsigned>(Field(text, 8, 2))}};
    const int hour = Field(text, 11, 2);
    const int minute = Field(text, 14, 2);
    const int second = Field(text, 17, 2);
    // year_month_day::ok() knows month lengths and leap years; a date that
    // is not ok would otherwise roll over into another one.
    if (!date.ok() || date.year() < year{1970} || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const sys_seconds when = sys_days{date} + hours{hour} + minutes{minute} + seconds{second};
    return static_cast<std::time_t>(when.time_since_epoch().count());
}

std::string FormatExpiry(std::time_t when) {
    std::tm parts{};
    gmtime_r(&when, &parts);
    char text[expiryPattern.size() + 1];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::optional<ManifestStamp> ReadStamp(IniFile& manifest, std::time_t now, std::string& error) {
    ManifestStamp stamp;
    const std::string serialText = manifest.GetValue("Main", "serial");
    if (!serialText.empty()) {
        const std::optional<long long> serial = ParseSerial(serialText);
        if (!serial) {
            error =
                "the manifest's serial \"" + serialText + "\" is not a number of 1 to 18 digits";
            return std::nullopt;
        }
        stamp.serial = *serial;
    }
    // A manifest frozen in time would hide every newer release.
    const std::string expires = manifest.GetValue("Main", "expires");
    if (!expires.empty()) {
        stamp.expires = ParseExpiry(expires);
        if (!stamp.expires) {
            error = "the manifest's expiry \"" + expires +
                    "\" is not a real date and time written YYYY-MM-DDTHH:MM:SSZ";
            return std::nullopt;
        }
        if (now >= *stamp.expires) {
            error = "the manifest expired at " + expires;
            return std::nullopt;
        }
    }
    return stamp;
}
