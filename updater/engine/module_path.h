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
