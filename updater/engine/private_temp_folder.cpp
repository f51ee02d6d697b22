#include "engine/private_temp_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>

std::optional<PrivateTempFolder> PrivateTempFolder::Make(const std::filesystem::path& root,
                                                         std::string& error) {
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
