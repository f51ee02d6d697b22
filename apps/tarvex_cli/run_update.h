// The update command: one run with the terminal as owner.
#pragma once

#include <filesystem>

#include "cli_options.h"

// Runs the update, prints the dialog's result message on standard output and
// returns the result code. CatalogError passes through.
int RunUpdateFromConsole(const CliOptions& options, const std::filesystem::path& programFolder);
