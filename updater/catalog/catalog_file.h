// Creating and listing a whole catalogue: the tools' side of the catalogue,
// never the update run's (the run finds the catalogue in place).
#pragma once

#include <filesystem>
#include <ostream>

// Creates an empty encrypted catalogue with the tables [detector],
// [recognizer] and [system] at CatalogPath(programFolder), making its data
// folder when missing. Raises CatalogError when the file already exists or
// cannot be made.
void CreateCatalog(const std::filesystem::path& programFolder);

// Writes every row of the three tables, one per line, tab-separated, each table
// under a "[table]" heading. Raises CatalogError as the recordsets do.
void ListCatalog(const std::filesystem::path& programFolder, std::ostream& out);
