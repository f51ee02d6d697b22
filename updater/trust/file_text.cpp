// Reading a small file after telling what is at its path.
#include "trust/file_text.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

std::optional<std::string> ReadRegularFile(const std::filesystem::path& file,
                                           std::string& problem) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        const int reason = errno;
        struct stat link {};
        if (reason == ENOENT && ::lstat(file.c_str(), &link) == 0)
            problem = "is a link to nothing";
        else if (reason == ENOENT)
            problem = "does not exist";
        else
            problem = std::string("cannot be read: ") + std::strerror(reason);
        return std::nullopt;
    }
    if (S_ISDIR(info.st_mode)) {
        problem = "is a folder, not a file";
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        problem = "is not a regular file";
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad()) {
        problem = std::string("cannot be read: ") + std::strerror(errno);
        return std::nullopt;
    }
    return bytes;
}
