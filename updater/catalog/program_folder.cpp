#include "catalog/program_folder.h"

std::filesystem::path ProgramPath() {
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : path;
}

std::filesystem::path ProgramFolder() {
    return ProgramPath().parent_path();
}

std::filesystem::path CatalogPath(const std::filesystem::path& programFolder) {
    return programFolder / "data" / "module.dat";
}
