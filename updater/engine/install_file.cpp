// Putting a downloaded file in place, by replace-in-place: a crash or a full
// disk never leaves a half-written module, and the folder is flushed before
// the caller records the new version, so after a power loss the catalogue
// never names a version the disk lost.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "engine/file_descriptor.h"
#include "engine/replace_in_place.h"
#include "engine/update_engine.h"

namespace {

constexpr size_t copyBufferBytes = 1 << 16;

// Copies all of source into staged; false on a read or write failure.
bool CopyInto(FileDescriptor& source, FileDescriptor& staged) {
    char buffer[copyBufferBytes];
    for (;;) {
        const ssize_t got = ::read(source.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!staged.WriteAll(buffer, static_cast<size_t>(got))) return false;
    }
}

}  // namespace

bool UpdateEngine::InstallFile(const std::filesystem::path& destination,
                               const std::filesystem::path& temporary) {
    std::error_code ec;
    std::filesystem::create_directory(destination.parent_path(), ec);  // one level; outcome ignored
    FileDescriptor in(::open(temporary.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    // Keep the permission bits of the regular file replaced, never set-user-ID,
    // set-group-ID or sticky bits (not even through a link to such a file); a
    // new module is readable and executable by all.
    struct stat old {};
    const mode_t mode = ::lstat(destination.c_str(), &old) == 0 && S_ISREG(old.st_mode)
                            ? (old.st_mode & 0777)
                            : 0755;
    // Not installed until durable: the row is not written, so a later run
    // offers the file again.
    const bool installed =
        in.IsOpen() && ReplaceInPlace(destination, mode, [&in](FileDescriptor& staged) {
            return CopyInto(in, staged);
        });
    std::filesystem::remove(temporary, ec);
    return installed;
}
