#include "engine/private_temp_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

std::optional<std::filesystem::path> PrivateTempFolder(const std::filesystem::path& root) {
    const uid_t uid = geteuid();
    const std::filesystem::path folder = root / ("tarvex-" + std::to_string(uid));
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != uid)
        return std::nullopt;
    if ((info.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) return std::nullopt;
    return folder;
}

int CreateFileNoFollow(const std::filesystem::path& file, unsigned mode) {
    return open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode);
}
