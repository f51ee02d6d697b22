// The run's temporary folder: a private per-user folder under the system
// temporary path, so no other local user can plant files or symlinks there.
#pragma once

#include <filesystem>
#include <optional>

// root/"tarvex-<uid>", made with mode 0700 when missing. Nothing when it exists
// but is a symlink, not a folder, not ours, or cannot be made private.
std::optional<std::filesystem::path> PrivateTempFolder(const std::filesystem::path& root);
