// The running program's folder, and where the catalogue lies in a program folder.
#include "catalog/program_folder.h"

#include "catalog/catalog_error.h"

std::filesystem::path ProgramPath() {
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : path;
}

std::filesystem::path RunningProgramFolder() {
    return ProgramPath().parent_path();
}

std::filesystem::path CatalogPath(const std::filesystem::path& programFolder) {
    return programFolder / "data" / "module.dat";
}

void RequireCatalog(const std::filesystem::path& programFolder) {
    std::error_code ec;
    const std::filesystem::path file = CatalogPath(programFolder);
    if (std::filesystem::symlink_status(file, ec).type() != std::filesystem::file_type::not_found)
        return;
    throw CatalogError("there is no module catalogue " + file.string() +
                       ": create one with `tarvex-cli catalog init --program-dir " +
                       programFolder.string() + "`");
}
