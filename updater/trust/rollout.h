// Staged rollout: a release reaches a share of desktops first, and more as
// days pass. Each desktop draws a random install id once; it takes part in a
// release when a hash of its id and the release's serial falls within the
// share, so the same desktops go first for one release and others for the
// next. Only scheduled runs wait their turn: a person who asks gets the
// release at once.
//
//   [Main] rollout=25               per cent of desktops, 0 to 100, up to two decimals
//   [Main] rollout-start=TIME       optional: 0 before, the share from then on
//   [Main] rollout-daily=10         optional, with a start: per cent more each day
// No rollout line: every desktop at once. rollout=0 halts a release.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

class IniFile;

// 100 %, in hundredths.
inline constexpr int fullRollout = 10000;

struct Rollout {
    int share = fullRollout;  // hundredths of a per cent
    std::optional<std::time_t> start;
    int dailyGrowth = 0;  // hundredths of a per cent a day
};

// A share written as per cent, in hundredths; nothing unless 0 to 100 with
// at most two decimals.
std::optional<int> ParsePercent(std::string_view text);
// "25 %", "12.5 %".
std::string FormatPercent(int hundredths);

// The rollout of manifest's [Main]. Nothing, with error naming the key, when
// a value is malformed or rollout-daily comes without rollout-start.
std::optional<Rollout> ReadRollout(IniFile& manifest, std::string& error);
// The share reached at now, in hundredths of a per cent.
int ShareAt(const Rollout& rollout, std::time_t now);
// Where a desktop stands for a release, 0 to 9999: it takes part when this
// is below the share.
int RolloutPlace(const std::string& installId, long long serial);
