// Replacing a file so that it is always the old file or the new one, never
// half of either, and stays so after a power loss: the new bytes go to a
// staged file in the destination's own folder, are flushed to disk, renamed
// over the destination, and the folder is flushed after the rename. Modules
// the update run installs and the files publish writes all go this way.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string_view>

class FileDescriptor;

// Writes the new content into the staged file; false on any failure.
using StagedWriter = std::function<bool(FileDescriptor& staged)>;

// Puts what write writes at destination, with permission bits mode. true
// only once the rename is durable; on false the destination is the old file
// (or still absent) and no staged file is left.
bool ReplaceInPlace(const std::filesystem::path& destination, mode_t mode,
                    const StagedWriter& write);
bool ReplaceInPlace(const std::filesystem::path& destination, mode_t mode, std::string_view bytes);

// Removes the staged files a killed process left beside destination (only
// regular files of this user, named as ReplaceInPlace names them).
void RemoveStagedCopies(const std::filesystem::path& destination);
