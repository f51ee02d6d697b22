// One update run at a time per program folder: a run holds an exclusive lock
// on its catalogue file for its whole length (flock, which SQLCipher's own
// record locks do not see), released when the lock object goes.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>

#include "engine/file_descriptor.h"

class CatalogLock {
public:
    // Locks file, retrying until wait has passed. Nothing when another holder
    // keeps it that long. A missing file needs no lock: the run then fails on
    // the catalogue itself, before it writes anything.
    static std::optional<CatalogLock> Acquire(const std::filesystem::path& file,
                                              std::chrono::milliseconds wait);

private:
    explicit CatalogLock(FileDescriptor descriptor) : held(std::move(descriptor)) {}

    FileDescriptor held;  // closing it releases the lock
};
