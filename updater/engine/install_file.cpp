// Putting a downloaded file in place. The new bytes go to a temporary file in
// the destination's own folder, are flushed to disk and then renamed over the
// destination, so a crash or a full disk never leaves a half-written module:
// the destination is either the old file or the new one. The folder is
// flushed after the rename, before the caller records the new version, so
// after a power loss the catalogue never names a version the disk lost.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "engine/file_descriptor.h"
#include "engine/update_engine.h"

namespace {

constexpr size_t copyBufferBytes = 1 << 16;
// A staged copy is the destination's name, this suffix and six characters.
constexpr std::string_view stagedSuffix = ".tarvex-";

// Copies source into a new file beside destination; returns its path, or empty.
std::filesystem::path StageCopy(const std::filesystem::path& source,
                                const std::filesystem::path& destination) {
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in.IsOpen()) return {};
    std::string staged = destination.string() + std::string(stagedSuffix) + "XXXXXX";
    FileDescriptor out(::mkostemp(staged.data(), O_CLOEXEC));
    if (!out.IsOpen()) return {};
    bool ok = true;
    char buffer[copyBufferBytes];
    for (;;) {
        const ssize_t got = ::read(in.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ok = false;
        if (got <= 0) break;
        if (!out.WriteAll(buffer, static_cast<size_t>(got))) {
            ok = false;
            break;
        }
    }
    // Keep the permission bits of the regular file replaced, never set-user-ID,
    // set-group-ID or sticky bits (not even through a link to such a file); a
    // new module is readable and executable by all.
    struct stat old {};
    const mode_t mode = ::lstat(destination.c_str(), &old) == 0 && S_ISREG(old.st_mode)
                            ? (old.st_mode & 0777)
                            : 0755;
    ok = ok && ::fchmod(out.Get(), mode) == 0 && ::fsync(out.Get()) == 0;
    ok = out.Close() && ok;
    if (!ok) {
        ::unlink(staged.c_str());
        return {};
    }
    return staged;
}

// Flushes folder's entries (the rename) to disk. A file system that cannot
// flush a folder (EINVAL) keeps its entries by other means.
bool SyncFolder(const std::filesystem::path& folder) {
    FileDescriptor descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!descriptor.IsOpen()) return false;
    return ::fsync(descriptor.Get()) == 0 || errno == EINVAL;
}

}  // namespace

bool UpdateEngine::InstallFile(const std::filesystem::path& destination,
                               const std::filesystem::path& temporary) {
    std::error_code ec;
    std::filesystem::create_directory(destination.parent_path(), ec);  // one level; outcome ignored
    const std::filesystem::path staged = StageCopy(temporary, destination);
    bool installed = false;
    if (!staged.empty()) {
        installed = ::rename(staged.c_str(), destination.c_str()) == 0;
        if (!installed) ::unlink(staged.c_str());
        // Not durable yet: the row is not written, so a later run offers the
        // file again.
        installed = installed && SyncFolder(destination.parent_path());
    }
    std::filesystem::remove(temporary, ec);
    return installed;
}

void UpdateEngine::RemoveStagedCopies(const std::filesystem::path& destination) {
    const std::string prefix = destination.filename().string() + std::string(stagedSuffix);
    std::error_code ec;
    // Stepped with error codes: a folder that cannot be read ends the
    // clean-up, never the run.
    for (std::filesystem::directory_iterator entry(destination.parent_path(), ec), end;
         !ec && entry != end; entry.increment(ec)) {
        const std::string name = entry->path().filename().string();
        struct stat info {};
        if (name.size() == prefix.size() + 6 && name.rfind(prefix, 0) == 0 &&
            ::lstat(entry->path().c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::geteuid())
            ::unlink(entry->path().c_str());
    }
}
