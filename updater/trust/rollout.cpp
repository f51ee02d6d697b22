// Rollout shares read strictly, grown by the day, and each desktop's place.
#include "trust/rollout.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "manifest/ini_file.h"
#include "trust/manifest_rules.h"
#include "trust/manifest_stamp.h"

namespace {

constexpr int whole = fullRollout;
constexpr std::time_t secondsPerDay = 24 * 3600;

}  // namespace

std::optional<int> ParsePercent(std::string_view text) {
    const size_t dot = text.find('.');
    const std::string_view units = text.substr(0, dot);
    const std::string_view decimals =
        dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    if (units.empty() || units.size() > 3 || !AllDigits(units) || !AllDigits(decimals) ||
        decimals.size() > 2 || (dot != std::string_view::npos && decimals.empty()))
        return std::nullopt;
    int value = 0;
    for (char c : units) value = value * 10 + (c - '0');
    value *= 100;
    if (!decimals.empty()) value += (decimals[0] - '0') * 10;
    if (decimals.size() == 2) value += decimals[1] - '0';
    if (value > whole) return std::nullopt;
    return value;
}

std::string FormatPercent(int hundredths) {
    std::string text = std::to_string(hundredths / 100);
    if (const int rest = hundredths % 100; rest != 0)
        text += (rest % 10 == 0 ? "." + std::to_string(rest / 10)
                                : (rest < 10 ? ".0" : ".") + std::to_string(rest));
    return text + " %";
}

std::optional<Rollout> ReadRollout(IniFile& manifest, std::string& error) {
    Rollout rollout;
    const std::string share = manifest.GetValue("Main", "rollout");
    const std::string start = manifest.GetValue("Main", "rollout-start");
    const std::string daily = manifest.GetValue("Main", "rollout-daily");
    const auto refuse = [&](const std::string& why) {
        error = "the manifest's " + why;
        return std::nullopt;
    };
    if (!share.empty()) {
        const std::optional<int> parsed = ParsePercent(share);
        if (!parsed)
            return refuse("rollout \"" + share +
                          "\" is not a share from 0 to 100 per cent with at most two decimals");
        rollout.share = *parsed;
    }
    if (!start.empty()) {
        rollout.start = ParseExpiry(start);
        if (!rollout.start)
            return refuse("rollout-start \"" + start +
                          "\" is not a real time written YYYY-MM-DDTHH:MM:SSZ");
    }
    if (!daily.empty()) {
        const std::optional<int> parsed = ParsePercent(daily);
        if (!parsed)
            return refuse("rollout-daily \"" + daily +
                          "\" is not a share from 0 to 100 per cent with at most two decimals");
        if (!rollout.start) return refuse("rollout-daily needs a rollout-start to grow from");
        rollout.dailyGrowth = *parsed;
    }
    return rollout;
}

int ShareAt(const Rollout& rollout, std::time_t now) {
    if (!rollout.start) return rollout.share;
    if (now < *rollout.start) return 0;
    const long long days = static_cast<long long>(now - *rollout.start) / secondsPerDay;
    return static_cast<int>(std::min<long long>(
        whole, rollout.share + days * static_cast<long long>(rollout.dailyGrowth)));
}

int RolloutPlace(const std::string& installId, long long serial) {
    const std::string key = installId + "/" + std::to_string(serial);
    std::array<unsigned char, crypto_hash_sha256_BYTES> digest{};
    if (sodium_init() < 0) return 0;
    crypto_hash_sha256(digest.data(), reinterpret_cast<const unsigned char*>(key.data()),
                       key.size());
    std::uint64_t value = 0;
    for (size_t i = 0; i < sizeof value; ++i) value = value << 8 | digest[i];
    return static_cast<int>(value % whole);
}
