#include "engine/private_temp_folder.h"

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
