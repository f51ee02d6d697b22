// The exclusive lock on the catalogue that one update run holds.
#include "engine/catalog_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "catalog/catalog_error.h"

namespace {

[[noreturn]] void CannotLock(const std::filesystem::path& file, int reason) {
    std::string what = std::strerror(reason);
    if (reason == ELOOP) what = "it is a symbolic link; put the catalogue file itself there";
    throw CatalogError("cannot lock the catalogue " + file.string() +
                       " against a second update run: " + what);
}

}  // namespace

std::optional<CatalogLock> CatalogLock::Acquire(const std::filesystem::path& file,
                                                std::chrono::milliseconds wait) {
    FileDescriptor descriptor(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!descriptor.IsOpen()) {
        if (errno == ENOENT) return CatalogLock(FileDescriptor());
        CannotLock(file, errno);
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(descriptor.Get(), LOCK_EX | LOCK_NB) == 0)
            return CatalogLock(std::move(descriptor));
        if (errno != EWOULDBLOCK && errno != EINTR) CannotLock(file, errno);
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(retryInterval);
    }
}
