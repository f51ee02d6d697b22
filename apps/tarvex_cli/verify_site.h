// The verify command: a dry run of the site with the terminal as owner.
#pragma once

#include <filesystem>

#include "cli_options.h"

// Checks the site, prints one line per listed file and a verdict on standard
// output, and returns the result code (0: a client would accept the site).
// programFolder empty: no folder's keys or catalogue. CatalogError passes through.
int VerifySiteFromConsole(const CliOptions& options, const std::filesystem::path& programFolder);
