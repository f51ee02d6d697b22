// The check pass's rule for every listed entry, shared by the run and the
// dry run: the manifest rules, this folder's catalogue, and the other
// entries (a destination listed twice: the newer stands).
#pragma once

#include <filesystem>
#include <vector>

#include "engine/update_item.h"

class CatalogRows;
class IniFile;

// Plans entries 1..count in order: one plan per section the manifest holds,
// and one LeftOut plan per run of numbers whose sections it does not hold, so
// the plans grow with the manifest's bytes, never with count. signedSite: size and hash are
// required. catalogue null: every file is new, as to an empty catalogue, and none is checked
// against programFolder's catalogue file.
std::vector<EntryPlan> PlanEntries(IniFile& manifest, int count, bool signedSite,
                                   CatalogRows* catalogue,
                                   const std::filesystem::path& programFolder);
