// Reading a small file after telling what is at its path.
#include "trust/file_text.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

std::string RegularFileProblem(const std::filesystem::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        const int reason = errno;
        struct stat link {};
        if (reason == ENOENT && ::lstat(file.c_str(), &link) == 0) return "is a link to nothing";
        if (reason == ENOENT) return "does not exist (no such file)";
        return std::string("cannot be read: ") + std::strerror(reason);
    }
    if (S_ISDIR(info.st_mode)) return "is a folder, not a file";
    if (!S_ISREG(info.st_mode)) return "is not a regular file";
    return {};
}

std::optional<std::string> ReadRegularFile(const std::filesystem::path& file,
                                           std::string& problem) {
    problem = RegularFileProblem(file);
    if (!problem.empty()) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad()) {
        problem = std::string("cannot be read: ") + std::strerror(errno);
        return std::nullopt;
    }
    return bytes;
}
