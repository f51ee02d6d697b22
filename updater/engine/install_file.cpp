// Putting a downloaded file in place. The new bytes go to a temporary file in
// the destination's own folder, are flushed to disk and then renamed over the
// destination, so a crash or a full disk never leaves a half-written module:
// the destination is either the old file or the new one.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "engine/file_descriptor.h"
#include "engine/update_engine.h"

namespace {

constexpr size_t copyBufferBytes = 1 << 16;

// Copies source into a new file beside destination; returns its path, or empty.
std::filesystem::path StageCopy(const std::filesystem::path& source,
                                const std::filesystem::path& destination) {
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in.IsOpen()) return {};
    std::string staged = destination.string() + ".tarvex-XXXXXX";
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
    // Keep the installed file's permissions; a new module is readable by all.
    struct stat old {};
    const mode_t mode = ::stat(destination.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    ok = ok && ::fchmod(out.Get(), mode) == 0 && ::fsync(out.Get()) == 0;
    ok = out.Close() && ok;
    if (!ok) {
        ::unlink(staged.c_str());
        return {};
    }
    return staged;
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
    }
    std::filesystem::remove(temporary, ec);
    return installed;
}
