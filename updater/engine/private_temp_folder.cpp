// The run's private temporary folder: made with mkdtemp, held by a lock on
// the folder itself for as long as the run lives, removed whole. A run killed
// before it could remove its folder leaves it behind unlocked: the next run
// removes it.
#include "engine/private_temp_folder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* folderPrefix = "tarvex-";
constexpr size_t folderRandomCharacters = 6;

// Whether name is one this file makes: "tarvex-" and six characters.
bool RunFolderName(const std::string& name) {
    return name.size() == std::strlen(folderPrefix) + folderRandomCharacters &&
           name.rfind(folderPrefix, 0) == 0;
}

FileDescriptor OpenFolder(const std::filesystem::path& folder) {
    return FileDescriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// Removes the folders under root that runs of this user left when they died:
// a live run holds its folder's lock, so a folder whose lock can be taken is
// a dead run's. It is removed while the lock is held, so a run that had just
// made it and had not locked it yet finds it gone and makes another.
// Errors only end the clean-up.
void RemoveDeadRunsFolders(const std::filesystem::path& root) {
    std::error_code ec;
    for (std::filesystem::directory_iterator entry(root, ec), end; !ec && entry != end;
         entry.increment(ec)) {
        const std::string name = entry->path().filename().string();
        struct stat info {};
        if (!RunFolderName(name) || ::lstat(entry->path().c_str(), &info) != 0 ||
            !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
            continue;
        const FileDescriptor folder = OpenFolder(entry->path());
        if (!folder.IsOpen() || ::flock(folder.Get(), LOCK_EX | LOCK_NB) != 0) continue;
        std::error_code ignored;
        std::filesystem::remove_all(entry->path(), ignored);
    }
}

}  // namespace

std::optional<PrivateTempFolder> PrivateTempFolder::Make(const std::filesystem::path& givenRoot,
                                                         std::string& error) {
    std::filesystem::path root = givenRoot;
    if (root.empty()) {
        std::error_code ec;
        root = std::filesystem::temp_directory_path(ec);
        if (ec) {
            const char* named = std::getenv("TMPDIR");
            error = "the temporary folder " + std::string(named != nullptr ? named : "/tmp") +
                    " is unusable: " + ec.message();
            return std::nullopt;
        }
    }
    RemoveDeadRunsFolders(root);
    // A folder another run's clean-up took for a dead one before it was
    // locked is gone once the lock is had: then a new one is made.
    constexpr int attempts = 3;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        std::string pattern = (root / (std::string(folderPrefix) + "XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            error =
                "cannot make a temporary folder in " + root.string() + ": " + std::strerror(errno);
            return std::nullopt;
        }
        PrivateTempFolder folder{std::filesystem::path(pattern)};
        folder.lock = OpenFolder(folder.path);
        struct stat info {};
        if (!folder.lock.IsOpen() || ::flock(folder.lock.Get(), LOCK_EX) != 0 ||
            ::fstat(folder.lock.Get(), &info) != 0) {
            error = "cannot lock the temporary folder " + folder.path.string() + ": " +
                    std::strerror(errno);
            return std::nullopt;
        }
        if (info.st_nlink > 0) return folder;
        folder.path.clear();  // removed already: nothing to remove
    }
    error =
        "cannot keep a temporary folder in " + root.string() + ": other runs keep removing them";
    return std::nullopt;
}

PrivateTempFolder::PrivateTempFolder(PrivateTempFolder&& other) noexcept
    : path(std::move(other.path)), lock(std::move(other.lock)) {
    other.path.clear();
}

PrivateTempFolder::~PrivateTempFolder() {
    if (path.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}
