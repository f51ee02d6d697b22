// Version strings by the shared manifest rules: one to three dot-separated
// numbers, compared as numbers.
#pragma once

#include <string>

// CompareVersions' answers for a malformed version, a examined first.
inline constexpr int versionAMalformed = -21;
inline constexpr int versionBMalformed = -22;

// 1 when a is newer than b, -1 older, 0 equal; versionAMalformed when a is
// malformed, else versionBMalformed when b is.
int CompareVersions(const std::string& a, const std::string& b);
