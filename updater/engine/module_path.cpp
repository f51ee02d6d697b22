#include "engine/module_path.h"

#include <algorithm>

std::optional<std::filesystem::path> ModuleRelativePath(const std::string& filename) {
    std::string name = filename;
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.empty() || name.front() == '/' || name.back() == '/' ||
        name.find('\0') != std::string::npos)
        return std::nullopt;
    if (name.size() >= 2 && name[1] == ':') return std::nullopt;  // "C:..."
    std::filesystem::path relative;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        const std::string part = name.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") return std::nullopt;
        relative /= part;
    }
    if (relative.empty()) return std::nullopt;
    return relative;
}
