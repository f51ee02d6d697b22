// What makes a signed manifest current: its serial, which never goes back,
// and its expiry. The update run refuses a replayed or expired manifest by
// these rules; publish writes only what they accept.
//
//   serial   [Main] serial: 1 to 18 decimal digits and nothing else; missing
//            reads as 0. A client refuses a serial below the last it accepted.
//   expires  [Main] expires: "YYYY-MM-DDTHH:MM:SSZ", a real UTC date and time
//            (no month 13, no 30 February, no second 60); optional.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

class IniFile;

// The largest serial: 18 digits, so one more always fits a signed 64-bit number.
inline constexpr long long maxSerial = 999'999'999'999'999'999LL;

// The serial written as text; nothing unless 1 to 18 digits.
std::optional<long long> ParseSerial(std::string_view text);

// The expiry as seconds since 1970; nothing unless the exact format and a
// real date and time from 1970 on.
std::optional<std::time_t> ParseExpiry(std::string_view text);
// when in the expiry format.
std::string FormatExpiry(std::time_t when);

struct ManifestStamp {
    long long serial = 0;
    std::optional<std::time_t> expires;
};

// The stamp of manifest's [Main], checked against now: nothing, with error
// naming the fault, for a malformed serial or expiry, or one already past.
std::optional<ManifestStamp> ReadStamp(IniFile& manifest, std::time_t now, std::string& error);
