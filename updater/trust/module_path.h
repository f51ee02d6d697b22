// Where a manifest file name may go: relative paths inside the program folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

// The manifest name as a relative path, backslashes read as folder separators
// (manifests are written for Windows). Nothing for an empty name, an absolute
// path, a drive letter, a ".." component, a name ending in a separator or one
// holding a NUL byte: those would write outside the program folder or nowhere.
std::optional<std::filesystem::path> ModuleRelativePath(const std::string& filename);

// One destination, one identity: every spelling of the same path inside the
// program folder ("x.so", "./x.so", "sub//y.so", "sub\y.so") gives the same
// text, compared without regard to ASCII case as the catalogue compares names.
// Empty for a name ModuleRelativePath refuses.
std::string ModuleIdentity(const std::string& filename);

// Whether relative is, by its spelling alone, the catalogue (data/module.dat)
// or one of its journal files: what publish can tell without a program folder.
bool NamesCatalogueByName(const std::filesystem::path& relative);

// Whether relative, inside programFolder, resolves (through any symlinked
// folder) to the catalogue file or one of its journal files, which a module
// must never replace.
bool NamesCatalogue(const std::filesystem::path& programFolder,
                    const std::filesystem::path& relative);
