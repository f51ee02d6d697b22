// Where a manifest file name may go, and which names are one destination.
#include "trust/module_path.h"

#include <algorithm>

#include "catalog/program_folder.h"
#include "manifest/text_pieces.h"

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

std::string ModuleIdentity(const std::string& filename) {
    const std::optional<std::filesystem::path> relative = ModuleRelativePath(filename);
    if (!relative) return {};
    return AsciiLower(relative->generic_string());
}

namespace {

// The file itself and its journals ("-journal", "-wal", "-shm").
bool IsCatalogueOrJournal(const std::string& target, const std::string& catalogue) {
    return target == catalogue || target.rfind(catalogue + "-", 0) == 0;
}

}  // namespace

bool NamesCatalogueByName(const std::filesystem::path& relative) {
    return IsCatalogueOrJournal(relative.lexically_normal().generic_string(),
                                CatalogPath({}).lexically_normal().generic_string());
}

bool NamesCatalogue(const std::filesystem::path& programFolder,
                    const std::filesystem::path& relative) {
    std::error_code ec;
    const std::string catalogue =
        std::filesystem::weakly_canonical(CatalogPath(programFolder), ec).string();
    if (ec) return false;
    const std::string target =
        std::filesystem::weakly_canonical(programFolder / relative, ec).string();
    if (ec) return false;
    return IsCatalogueOrJournal(target, catalogue);
}
