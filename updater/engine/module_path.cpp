#include "engine/module_path.h"

#include <algorithm>

#include "engine/text_pieces.h"

std::optional<std::filesystem::path> ModuleRelativePath(const std::string& filename) {
    std::string name = filename;
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.empty() || name.front() == '/' || name.back() == '/' ||
        name.find('\0') != std::string::npos)
        return std::nullopt;
    if (name.size() >= 2 && name[1] == ':') return std::nullopt;  // "C:..."
    std::filesystem::path relative;
    for (const std::string& part : NonEmptyPieces(name, '/')) {
        if (part == ".") continue;
        if (part == "..") return std::nullopt;
        relative /= part;
    }
    if (relative.empty()) return std::nullopt;
    return relative;
}
