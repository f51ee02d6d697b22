// The update site as the run and the publisher both see it: the manifest's
// name, its signature's name beside it, and how large a manifest may be.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace update_site {

inline constexpr char manifestName[] = "autoupdate.txt";
inline constexpr char signatureName[] = "autoupdate.txt.sig";
// The manifest is small text; anything larger is not one.
inline constexpr std::uint64_t maxManifestBytes = std::uint64_t{1} << 20;

// The channel every desktop follows unless it chose another: the site's own folder.
inline constexpr char stableChannel[] = "stable";

// A channel's name: 1 to 32 of a-z, 0-9, "-" and "_".
inline bool IsChannelName(std::string_view name) {
    if (name.empty() || name.size() > 32) return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            return false;
    return true;
}

// Where a channel's manifest and files lie below the site's folder: nothing
// for stable, "channels/NAME/" for any other.
inline std::string ChannelFolder(std::string_view name) {
    return name == stableChannel ? std::string() : "channels/" + std::string(name) + "/";
}

}  // namespace update_site
