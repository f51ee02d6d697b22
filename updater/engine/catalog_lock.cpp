#include "engine/catalog_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

#include <thread>

std::optional<CatalogLock> CatalogLock::Acquire(const std::filesystem::path& file,
                                                std::chrono::milliseconds wait) {
    FileDescriptor descriptor(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!descriptor.IsOpen()) return CatalogLock(FileDescriptor());
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(descriptor.Get(), LOCK_EX | LOCK_NB) == 0)
            return CatalogLock(std::move(descriptor));
        if (errno != EWOULDBLOCK && errno != EINTR) return CatalogLock(FileDescriptor());
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}
