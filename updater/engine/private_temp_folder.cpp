// The run's private temporary folder: made with mkdtemp, removed whole.
#include "engine/private_temp_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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
    std::string pattern = (root / "tarvex-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = "cannot make a temporary folder in " + root.string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    return PrivateTempFolder(pattern);
}

PrivateTempFolder::PrivateTempFolder(PrivateTempFolder&& other) noexcept
    : path(std::move(other.path)) {
    other.path.clear();
}

PrivateTempFolder::~PrivateTempFolder() {
    if (path.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}
