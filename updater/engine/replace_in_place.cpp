// Replace-in-place: stage beside, flush, rename, flush the folder.
#include "engine/replace_in_place.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "engine/file_descriptor.h"

namespace {

// A staged file is the destination's name, this suffix and six characters.
constexpr std::string_view stagedSuffix = ".tarvex-";
constexpr size_t stagedRandomCharacters = 6;

// Flushes folder's entries (the rename) to disk. A file system that cannot
// flush a folder (EINVAL) keeps its entries by other means.
bool SyncFolder(const std::filesystem::path& folder) {
    FileDescriptor descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!descriptor.IsOpen()) return false;
    return ::fsync(descriptor.Get()) == 0 || errno == EINVAL;
}

}  // namespace

bool ReplaceInPlace(const std::filesystem::path& destination, mode_t mode,
                    const StagedWriter& write) {
    std::string staged =
        destination.string() + std::string(stagedSuffix) + std::string(stagedRandomCharacters, 'X');
    FileDescriptor out(::mkostemp(staged.data(), O_CLOEXEC));
    if (!out.IsOpen()) return false;
    bool ok = write(out) && ::fchmod(out.Get(), mode) == 0 && ::fsync(out.Get()) == 0;
    ok = out.Close() && ok;
    ok = ok && ::rename(staged.c_str(), destination.c_str()) == 0;
    if (!ok) {
        ::unlink(staged.c_str());
        return false;
    }
    // Not durable until the folder is: the caller records nothing before.
    return SyncFolder(destination.parent_path().empty() ? "." : destination.parent_path());
}

bool ReplaceInPlace(const std::filesystem::path& destination, mode_t mode, std::string_view bytes) {
    return ReplaceInPlace(destination, mode, [bytes](FileDescriptor& staged) {
        return staged.WriteAll(bytes.data(), bytes.size());
    });
}

void RemoveStagedCopies(const std::filesystem::path& destination) {
    const std::string prefix = destination.filename().string() + std::string(stagedSuffix);
    std::error_code ec;
    // Stepped with error codes: a folder that cannot be read ends the
    // clean-up, never the caller's work.
    for (std::filesystem::directory_iterator entry(destination.parent_path(), ec), end;
         !ec && entry != end; entry.increment(ec)) {
        const std::string name = entry->path().filename().string();
        struct stat info {};
        if (name.size() == prefix.size() + stagedRandomCharacters && name.rfind(prefix, 0) == 0 &&
            ::lstat(entry->path().c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::geteuid())
            ::unlink(entry->path().c_str());
    }
}
