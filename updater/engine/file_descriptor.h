// Owner of one POSIX file descriptor; -1 means closed. Copy is deleted, move
// empties the source, the destructor closes without throwing.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor = -1) : fd(descriptor) {}
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd(other.fd) { other.fd = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            if (fd >= 0) ::close(fd);
            fd = other.fd;
            other.fd = -1;
        }
        return *this;
    }

    int Get() const { return fd; }
    bool IsOpen() const { return fd >= 0; }
    // Writes all of data, retrying short writes; false on any failure.
    bool WriteAll(const char* data, size_t size);
    // Closes now and reports whether the close succeeded (a delayed write error
    // shows up here).
    bool Close();

private:
    int fd;
};

// Creates file for writing; fails when anything, a symlink included, is
// already there.
FileDescriptor CreateNewFileNoFollow(const std::filesystem::path& file, unsigned mode = 0600);

// The bytes of a whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file);
