// Delta patches between two versions of a file, in zstd's "patch from" mode:
// the old file is the compression's prefix, so what the new one shares with
// it costs almost nothing. Publish makes them; a desktop applies them in
// memory, bounded by the size the signed manifest gives.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zstd_patch {
// Files larger than this are sent whole: base and result are held in memory.
inline constexpr std::uint64_t maxFileBytes = std::uint64_t{256} << 20;
}  // namespace zstd_patch

// The patch that turns base into target. Nothing, with error, when either
// is over the limit or zstd fails.
std::optional<std::string> MakePatch(std::string_view base, std::string_view target,
                                     std::string& error);
// The file patch makes of base: exactly size bytes, or nothing, with error,
// for a patch that is not one zstd frame, says another size (one that would
// expand beyond the signed size among them), or does not decode.
std::optional<std::string> ApplyPatch(std::string_view base, std::string_view patch,
                                      std::uint64_t size, std::string& error);
