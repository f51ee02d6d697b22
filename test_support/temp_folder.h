// A fresh folder per test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path; }
    // Writes bytes to a file below the folder (making its parents) and returns its path.
    std::filesystem::path Write(const std::string& relative, const std::string& bytes) const;
    // The bytes of a file, or "" when it cannot be read.
    static std::string Read(const std::filesystem::path& file);

private:
    std::filesystem::path path;
};
