// Downloads cut off, kept so the next run goes on from where they stopped:
// programFolder/data/partial, a folder of this user's alone (0700, never
// reached through a link). Each file is named by the SHA-256 the signed
// manifest vouches for, so bytes of one release never continue another's,
// and beside it the server's validator (ETag or Last-Modified) of the bytes
// it holds. Only vouched-for files are kept: the finished file is still
// checked whole before it installs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "engine/file_descriptor.h"

class PartialDownloads {
public:
    // The folder of programFolder, made when missing. Nothing, with error,
    // when it is a link, not a folder, someone else's, or open to others.
    static std::optional<PartialDownloads> Open(const std::filesystem::path& programFolder,
                                                std::string& error);
    // Where a program folder keeps them.
    static std::filesystem::path FolderOf(const std::filesystem::path& programFolder);

    // The kept bytes of the file vouched for by sha256, and the validator
    // they were sent under; nothing when none are kept.
    struct Kept {
        uint64_t bytes = 0;
        std::string validator;
    };
    std::optional<Kept> Find(const std::string& sha256) const;
    // Opens the file for sha256 to go on at its end (append), or afresh
    // (truncated), never through a link; records validator beside it.
    FileDescriptor Continue(const std::string& sha256, const std::string& validator,
                            bool afresh) const;
    std::filesystem::path PathOf(const std::string& sha256) const;
    void Forget(const std::string& sha256) const;
    // Removes every kept file whose hash is not among listed.
    void KeepOnly(const std::set<std::string>& listed) const;

private:
    explicit PartialDownloads(std::filesystem::path path) : folder(std::move(path)) {}
    std::filesystem::path folder;
};
