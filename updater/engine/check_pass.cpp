// The check pass: every listed file planned by the shared rules before
// anything is downloaded or asked. Pending files collect in pendingItems, in
// manifest order.
#include "engine/catalog_rows.h"
#include "engine/entry_plans.h"
#include "engine/replace_in_place.h"
#include "engine/update_engine.h"
#include "manifest/ini_file.h"
#include "trust/module_path.h"

int UpdateEngine::CheckPass(IniFile& manifest, int count, CatalogRows& rows) {
    const std::filesystem::path programFolder = ProgramFolder();
    std::vector<std::filesystem::path> destinations;
    for (EntryPlan& plan : PlanEntries(manifest, count, trust.SignedSite(), &rows, programFolder)) {
        switch (plan.kind) {
            case EntryPlan::Kind::Fails:
                // Anything else ends the run before anything is downloaded or asked.
                log.Complain(plan.reason);
                return UpdateModuleFailed;
            case EntryPlan::Kind::LeftOut:
                RunLog::Warn(plan.entry.filename.empty()
                                 ? plan.reason + ": left out"
                                 : plan.reason + ": " + plan.entry.filename + " is left out");
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
