// Where the running program lives: its catalogue and its modules sit there.
#pragma once

#include <filesystem>

// Full path of the running program file (/proc/self/exe resolved).
std::filesystem::path ProgramPath();
// The folder of ProgramPath().
std::filesystem::path RunningProgramFolder();
// The catalogue file under a program folder: data/module.dat.
std::filesystem::path CatalogPath(const std::filesystem::path& programFolder);
// Raises CatalogError, saying how to make one, when programFolder has no
// catalogue file at all (a link counts as one: what it is, opening tells).
void RequireCatalog(const std::filesystem::path& programFolder);
