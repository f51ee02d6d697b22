// One update run at a time per program folder: a run holds an exclusive lock
// on its catalogue file for its whole length (flock, which SQLCipher's own
// record locks do not see), released when the lock object goes. The lock
// fails closed: only a catalogue that is not there at all needs none.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>

#include "engine/file_descriptor.h"

class CatalogLock {
public:
    // How long a run sleeps between tries while another holds the lock.
    static constexpr std::chrono::milliseconds retryInterval{50};

    // Locks file, retrying until wait has passed. Nothing when another holder
    // keeps it that long. A missing file needs no lock: the run then fails on
    // the catalogue itself, before it writes anything. Raises CatalogError,
    // with the reason, when the file cannot be opened for locking (a symbolic
    // link, no permission) or locking fails otherwise: two runs must never
    // both believe they hold it.
    static std::optional<CatalogLock> Acquire(const std::filesystem::path& file,
                                              std::chrono::milliseconds wait);

private:
    explicit CatalogLock(FileDescriptor descriptor) : held(std::move(descriptor)) {}

    FileDescriptor held;  // closing it releases the lock
};
