// One file of a manifest as a run takes it: what it is, where the catalogue
// records it, and how the check pass plans it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "trust/manifest_rules.h"

// One pending file, named after the manifest keys.
struct UpdateItem {
    std::string filename;
    std::string modulename;
    std::string author;
    std::string version;
    ModuleType moduletype = ModuleType::System;
    std::string savedpath;
    // The catalogue row that already describes this destination, whatever the
    // spelling or table: its table and its key as stored. None: a new row.
    std::optional<ModuleType> recordedIn;
    std::string recordedKey;
    // What the publisher vouched for (keys "size" and "sha256"), when given.
    std::optional<uint64_t> size;
    std::string sha256;
    // A signed downgrade=yes: installed when older than the catalogue's too.
    bool downgrade = false;
    // Delta patches from older versions, used when size and sha256 are given.
    std::vector<PatchOffer> patches;
};

// How the check pass takes one listed entry; the run and the dry run both
// act on these plans, so they can never disagree.
struct EntryPlan {
    enum class Kind {
        Fails,       // breaks a rule: the run ends with 4 before anything is fetched
        LeftOut,     // a malformed version: this file alone is skipped
        Pending,     // newer than the catalogue records (or, signed downgrade, other): installed
        UpToDate,    // not newer (the same, with a downgrade): not installed
        Superseded,  // its destination is listed again at a newer version, which stands
    };
    ManifestEntry entry;
    Kind kind = Kind::Fails;
    std::string reason;  // Fails, LeftOut: the broken rule; Superseded: which entry stands
    UpdateItem item;     // Pending, UpToDate, Superseded: what would be installed
};
