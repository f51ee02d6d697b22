// The update site as the run and the publisher both see it: the manifest's
// name, its signature's name beside it, and how large a manifest may be.
#pragma once

#include <cstdint>

namespace update_site {

inline constexpr char manifestName[] = "autoupdate.txt";
inline constexpr char signatureName[] = "autoupdate.txt.sig";
// The manifest is small text; anything larger is not one.
inline constexpr std::uint64_t maxManifestBytes = std::uint64_t{1} << 20;

}  // namespace update_site
