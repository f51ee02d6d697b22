// The kept bytes of cut downloads, in a private folder of the program folder.
#include "engine/partial_downloads.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "manifest/text_pieces.h"
#include "trust/signature.h"

namespace {

constexpr const char* validatorSuffix = ".validator";
// A validator is a short header value; anything longer is not one.
constexpr size_t maxValidatorBytes = 512;

}  // namespace

std::filesystem::path PartialDownloads::FolderOf(const std::filesystem::path& programFolder) {
    return programFolder / "data" / "partial";
}

std::optional<PartialDownloads> PartialDownloads::Open(const std::filesystem::path& programFolder,
                                                       std::string& error) {
    const std::filesystem::path folder = FolderOf(programFolder);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot make " + folder.string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
        error = folder.string() +
                " is not a folder of this user's alone (a link, a file, or open to others): "
                "remove it, and the next run makes it afresh";
        return std::nullopt;
    }
    return PartialDownloads(folder);
}

std::filesystem::path PartialDownloads::PathOf(const std::string& sha256) const {
    return folder / AsciiLower(sha256);
}

std::optional<PartialDownloads::Kept> PartialDownloads::Find(const std::string& sha256) const {
    struct stat info {};
    const std::filesystem::path file = PathOf(sha256);
    if (::lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0)
        return std::nullopt;
    FileDescriptor validator(
        ::open((file.string() + validatorSuffix).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!validator.IsOpen()) return std::nullopt;
    char text[maxValidatorBytes];
    const ssize_t read = ::read(validator.Get(), text, sizeof text);
    if (read <= 0 || static_cast<size_t>(read) == sizeof text) return std::nullopt;
    return Kept{static_cast<uint64_t>(info.st_size), std::string(text, static_cast<size_t>(read))};
}

FileDescriptor PartialDownloads::Continue(const std::string& sha256, const std::string& validator,
                                          bool afresh) const {
    const std::filesystem::path file = PathOf(sha256);
    const std::filesystem::path validatorFile = file.string() + validatorSuffix;
    ::unlink(validatorFile.c_str());
    FileDescriptor record = CreateNewFileNoFollow(validatorFile);
    if (!record.IsOpen() || !record.WriteAll(validator.data(), validator.size()) || !record.Close())
        return FileDescriptor();
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (afresh ? O_TRUNC : O_APPEND);
    return FileDescriptor(::open(file.c_str(), flags, 0600));
}

void PartialDownloads::Forget(const std::string& sha256) const {
    const std::filesystem::path file = PathOf(sha256);
    ::unlink(file.c_str());
    ::unlink((file.string() + validatorSuffix).c_str());
}

void PartialDownloads::KeepOnly(const std::set<std::string>& listed) const {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        if (name.size() > std::string(validatorSuffix).size() && name.ends_with(validatorSuffix))
            name.resize(name.size() - std::string(validatorSuffix).size());
        if (listed.count(name) == 0) ::unlink(entry.path().c_str());
    }
}
