// The check pass: every listed file against the shared manifest rules and the
// catalogue, before anything is downloaded or asked. Pending files collect in
// pendingItems, in manifest order.
#include <algorithm>

#include "engine/update_engine.h"
#include "manifest/ini_file.h"
#include "trust/module_path.h"

UpdateItem UpdateEngine::ItemOf(const ManifestEntry& entry) {
    UpdateItem item;
    item.filename = entry.filename;
    item.version = entry.version;
    item.savedpath = entry.savedpath;
    item.moduletype = *ToModuleType(entry.moduletype);
    item.author = entry.author;
    item.modulename = entry.modulename;
    item.size = EntrySize(entry);
    item.sha256 = entry.sha256;
    return item;
}

int UpdateEngine::CheckPass(IniFile& manifest, int count) {
    const std::filesystem::path programFolder = ProgramFolder();
    std::vector<std::filesystem::path> destinations;
    for (int i = 1; i <= count; ++i) {
        const ManifestEntry entry = ReadEntry(manifest, i);
        const EntryVerdict verdict = CheckEntry(entry, !trustedKeys.empty());
        // As designed, a malformed version leaves just this file out; it is
        // never installed, so never recorded.
        if (verdict.fault == EntryFault::Version) {
            Warn(verdict.reason + ": " + entry.filename + " is left out");
            continue;
        }
        // Anything else ends the run before anything is downloaded or asked.
        if (verdict.fault != EntryFault::None) {
            Complain(verdict.reason);
            return UpdateModuleFailed;
        }
        if (const std::string clash = CatalogueClash(entry); !clash.empty()) {
            Complain(clash);
            return UpdateModuleFailed;
        }
        destinations.push_back(programFolder / *ModuleRelativePath(entry.filename));
        UpdateItem item = ItemOf(entry);
        if (!IsNewer(item)) continue;
        // The same destination listed twice: the newer entry stands.
        const std::string identity = ModuleIdentity(item.filename);
        const auto listed = std::find_if(
            pendingItems.begin(), pendingItems.end(),
            [&](const UpdateItem& other) { return ModuleIdentity(other.filename) == identity; });
        if (listed == pendingItems.end())
            pendingItems.push_back(std::move(item));
        else if (CompareVersions(item.version, listed->version) == 1)
            *listed = std::move(item);
    }
    // Copies a killed run left beside its destinations are of no use to anyone.
    for (const std::filesystem::path& destination : destinations) RemoveStagedCopies(destination);
    return UpdateSucceeded;
}

std::string UpdateEngine::CatalogueClash(const ManifestEntry& entry) const {
    if (!NamesCatalogue(ProgramFolder(), *ModuleRelativePath(entry.filename))) return {};
    return "[" + entry.section + "] filename \"" + entry.filename +
           "\" leads to the module catalogue";
}

bool UpdateEngine::IsNewer(UpdateItem& item) {
    // The recorded row, under any spelling or type, decides; a stored
    // version that is malformed counts as older than any.
    if (!FindRecordedRow(item)) return true;
    const std::string& stored = TableFor(*item.recordedIn).version;
    return !IsWellFormedVersion(stored) || CompareVersions(item.version, stored) == 1;
}
