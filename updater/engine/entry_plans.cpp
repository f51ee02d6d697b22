// Planning every listed entry: the shared manifest rules first, then this
// folder's catalogue, then the other entries.
#include "engine/entry_plans.h"

#include <map>

#include "engine/catalog_rows.h"
#include "engine/version_compare.h"
#include "manifest/ini_file.h"
#include "trust/module_path.h"

namespace {

UpdateItem ItemOf(const ManifestEntry& entry) {
    UpdateItem item;
    item.filename = entry.filename;
    item.version = entry.version;
    item.savedpath = entry.savedpath;
    item.moduletype = *ToModuleType(entry.moduletype);
    item.author = entry.author;
    item.modulename = entry.modulename;
    item.size = EntrySize(entry);
    item.sha256 = entry.sha256;
    item.downgrade = IsDowngrade(entry);
    item.patches = entry.patches;
    return item;
}

// Why a well-formed entry may still not be installed here: its name leads to
// this folder's catalogue (through a link, say). Empty when not.
std::string CatalogueClash(const ManifestEntry& entry, const std::filesystem::path& programFolder) {
    if (!NamesCatalogue(programFolder, *ModuleRelativePath(entry.filename))) return {};
    return "[" + entry.section + "] filename \"" + entry.filename +
           "\" leads to the module catalogue";
}

// Entries first .. last, whose sections the manifest does not hold: empty
// entries, left out together, so that a count far beyond the manifest's
// sections costs one plan, not one per number.
EntryPlan MissingSections(int first, int last) {
    EntryPlan plan;
    plan.kind = EntryPlan::Kind::LeftOut;
    plan.entry = ManifestEntry{};
    plan.entry.section = "File" + std::to_string(first);
    plan.reason = first == last ? "[File" + std::to_string(first) + "] is not in the manifest"
                                : "[File" + std::to_string(first) + "] to [File" +
                                      std::to_string(last) + "] are not in the manifest";
    return plan;
}

}  // namespace

std::vector<EntryPlan> PlanEntries(IniFile& manifest, int count, bool signedSite,
                                   CatalogRows* catalogue,
                                   const std::filesystem::path& programFolder) {
    std::vector<EntryPlan> plans;
    // Destination identity -> the plan that stands for it so far.
    std::map<std::string, size_t> standing;
    int expected = 1;
    for (const int i : ListedFileSections(manifest, count)) {
        if (i > expected) plans.push_back(MissingSections(expected, i - 1));
        expected = i + 1;
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
                      : catalogue != nullptr            ? CatalogueClash(plan.entry, programFolder)
                                                        : std::string();
        if (!plan.reason.empty()) {
            plan.kind = EntryPlan::Kind::Fails;
            continue;
        }
        plan.item = ItemOf(plan.entry);
        if (catalogue != nullptr && !catalogue->Replaces(plan.item)) {
            plan.kind = EntryPlan::Kind::UpToDate;
            continue;
        }
        plan.kind = EntryPlan::Kind::Pending;
        // The same destination listed twice: the newer entry stands, the
        // first of equal ones.
        // Plans and sections differ in number once a run of missing sections
        // stands as one plan: the index is the plan's own.
        const auto [at, first] =
            standing.try_emplace(ModuleIdentity(plan.item.filename), plans.size() - 1);
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
    if (expected <= count) plans.push_back(MissingSections(expected, count));
    return plans;
}
