// The check pass: every listed file against the shared manifest rules and the
// catalogue, before anything is downloaded or asked. Pending files collect in
// pendingItems, in manifest order.
#include <map>

#include "engine/replace_in_place.h"
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

std::vector<EntryPlan> UpdateEngine::PlanEntries(IniFile& manifest, int count, bool signedSite,
                                                 bool withCatalogue) {
    std::vector<EntryPlan> plans;
    // Destination identity -> the plan that stands for it so far.
    std::map<std::string, size_t> standing;
    for (int i = 1; i <= count; ++i) {
        EntryPlan& plan = plans.emplace_back();
        plan.entry = ReadEntry(manifest, i);
        const EntryVerdict verdict = CheckEntry(plan.entry, signedSite);
        // As designed, a malformed version leaves just this file out; it is
        // never installed, so never recorded.
        if (verdict.fault == EntryFault::Version) {
            plan.kind = EntryPlan::Kind::LeftOut;
            plan.reason = verdict.reason;
            continue;
        }
        plan.reason = verdict.fault != EntryFault::None ? verdict.reason
                      : withCatalogue                  ? CatalogueClash(plan.entry)
                                                       : std::string();
        if (!plan.reason.empty()) {
            plan.kind = EntryPlan::Kind::Fails;
            continue;
        }
        plan.item = ItemOf(plan.entry);
        // Without a catalogue, every file is new, as to an empty one.
        if (withCatalogue && !IsNewer(plan.item)) {
            plan.kind = EntryPlan::Kind::UpToDate;
            continue;
        }
        plan.kind = EntryPlan::Kind::Pending;
        // The same destination listed twice: the newer entry stands, the
        // first of equal ones.
        const auto [at, first] = standing.try_emplace(ModuleIdentity(plan.item.filename), i - 1);
        if (first) continue;
        EntryPlan& other = plans[at->second];
        EntryPlan& older =
            CompareVersions(plan.item.version, other.item.version) == 1 ? other : plan;
        EntryPlan& newer = &older == &plan ? other : plan;
        older.kind = EntryPlan::Kind::Superseded;
        older.reason = "[" + newer.entry.section + "] lists the same file at version " +
                       newer.item.version + ", which stands";
        at->second = static_cast<size_t>(&newer - plans.data());
    }
    return plans;
}

int UpdateEngine::CheckPass(IniFile& manifest, int count) {
    const std::filesystem::path programFolder = ProgramFolder();
    std::vector<std::filesystem::path> destinations;
    for (EntryPlan& plan : PlanEntries(manifest, count, !trustedKeys.empty(), true)) {
        switch (plan.kind) {
            case EntryPlan::Kind::Fails:
                // Anything else ends the run before anything is downloaded or asked.
                Complain(plan.reason);
                return UpdateModuleFailed;
            case EntryPlan::Kind::LeftOut:
                Warn(plan.reason + ": " + plan.entry.filename + " is left out");
                continue;
            case EntryPlan::Kind::Pending:
                pendingItems.push_back(plan.item);
                break;
            case EntryPlan::Kind::UpToDate:
            case EntryPlan::Kind::Superseded:
                break;
        }
        destinations.push_back(programFolder / *ModuleRelativePath(plan.entry.filename));
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
    // The recorded row, under any spelling or type, decides, as designed:
    // newer only when the comparison says exactly "newer". A stored version
    // that is empty or malformed never makes a file pending; the row is
    // left as it is, and said so, for its author to mend.
    if (!FindRecordedRow(item)) return true;
    const std::string& stored = TableFor(*item.recordedIn).version;
    const int order = CompareVersions(item.version, stored);
    if (order == versionBMalformed)
        Warn("the catalogue records version \"" + stored + "\" for " + item.filename +
             ", which is not one to three dot-separated numbers: " + item.filename +
             " is left out until its row in the catalogue is mended");
    return order == 1;
}
