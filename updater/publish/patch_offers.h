// Delta patches publish offers for a changed file: one from each earlier
// release that held another version of it.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "trust/manifest_rules.h"

// For each folder of previous that holds another version of entry's file,
// writes the patch from it to file into folder/patches and offers it in
// entry's settings, when it is smaller than the file. false, with error, when
// a patch cannot be made or written.
bool AddPatchOffers(const std::filesystem::path& folder, const ManifestEntry& entry,
                    const std::filesystem::path& file, const std::string& sha256,
                    const std::vector<std::filesystem::path>& previous,
                    std::vector<std::pair<std::string, std::string>>& settings, std::ostream& out,
                    std::string& error);
