// File descriptors: complete writes, checked closes, new files never through a link.
#include "engine/file_descriptor.h"

#include <fcntl.h>

#include <cerrno>
#include <fstream>
#include <iterator>

bool FileDescriptor::WriteAll(const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool FileDescriptor::Close() {
    const int descriptor = fd;
    fd = -1;
    return descriptor < 0 || ::close(descriptor) == 0;
}

FileDescriptor CreateNewFileNoFollow(const std::filesystem::path& file, unsigned mode) {
    return FileDescriptor(
        ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}
