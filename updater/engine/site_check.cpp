// The dry run: a site fetched and checked as a run would check it, each listed
// file downloaded into the run's own folder and measured, and nothing asked,
// installed or written, in the program folder or anywhere else.
#include <ctime>

#include "catalog/program_folder.h"
#include "catalog/update_state.h"
#include "engine/canonical_url.h"
#include "engine/catalog_rows.h"
#include "engine/engine_texts.h"
#include "engine/entry_plans.h"
#include "engine/partial_downloads.h"
#include "engine/private_temp_folder.h"
#include "engine/update_engine.h"
#include "engine/update_owner.h"
#include "manifest/ini_file.h"
#include "manifest/text_pieces.h"
#include "trust/module_path.h"

int UpdateEngine::CheckSite(const std::string& siteUrl, const SiteCheckOptions& options,
                            std::vector<SiteFileReport>& files) {
    files.clear();
    CatalogRows rows(detectorSet, recognizerSet, systemSet);
    std::string baseUrl;
    if (const int failed = StartRun(siteUrl, baseUrl)) return failed;
    if (options.useProgramFolder) RequireCatalog(ProgramFolder());
    if (const int failed = ChooseChannel(options.useProgramFolder, baseUrl)) return failed;
    if (const int failed = trust.Load(ProgramFolder(), options, false, channel)) return failed;
    const bool signedSite = trust.SignedSite();
    if (!signedSite)
        RunLog::Warn(
            "no publisher key to check against: checked as an unsigned site, which only program "
            "folders without data/update-keys accept");
    std::optional<PrivateTempFolder> tempFolder;
    IniFile manifest("");
    if (const int failed = ReadCheckedManifest(baseUrl, tempFolder, manifest)) return failed;
    if (options.useProgramFolder) rows.Open();

    int result = UpdateSucceeded;
    const auto fail = [&result](int code) {
        if (result == UpdateSucceeded) result = code;
    };
    const int count = manifest.GetValueInt("Main", "filecount");
    CatalogRows* catalogue = options.useProgramFolder ? &rows : nullptr;
    const std::string downloading = owner->Translate(engine_text::downloading);
    for (EntryPlan& plan : PlanEntries(manifest, count, signedSite, catalogue, ProgramFolder())) {
        SiteFileReport& report = files.emplace_back();
        report.filename = plan.entry.filename;
        report.version = plan.entry.version;
        report.reason = plan.reason;
        switch (plan.kind) {
            case EntryPlan::Kind::Fails:
            case EntryPlan::Kind::LeftOut:
                report.verdict = plan.kind == EntryPlan::Kind::LeftOut
                                     ? SiteFileReport::Verdict::LeftOut
                                     : SiteFileReport::Verdict::Fails;
                fail(UpdateModuleFailed);
                continue;
            case EntryPlan::Kind::Superseded:
                // A client never fetches it.
                report.verdict = SiteFileReport::Verdict::Superseded;
                continue;
            case EntryPlan::Kind::Pending:
            case EntryPlan::Kind::UpToDate:
                break;
        }
        const UpdateItem& item = plan.item;
        const std::filesystem::path temporary =
            tempFolder->Path() / ModuleRelativePath(item.filename)->filename();
        owner->SetStatusText(downloading + item.filename);
        if (const int failed = Fetch(item, baseUrl, temporary)) {
            report.reason = log.Reason();
            report.verdict = SiteFileReport::Verdict::Fails;
            fail(failed);
            continue;
        }
        std::error_code ec;
        report.size = std::to_string(std::filesystem::file_size(temporary, ec));
        // A vouched-for hash was just matched; only an unvouched file needs hashing.
        report.sha256 =
            item.sha256.empty() ? Sha256OfFile(temporary).value_or("") : AsciiLower(item.sha256);
        std::filesystem::remove(temporary, ec);
        report.verdict = !options.useProgramFolder ? SiteFileReport::Verdict::Verified
                         : plan.kind == EntryPlan::Kind::Pending
                             ? SiteFileReport::Verdict::Installs
                             : SiteFileReport::Verdict::UpToDate;
        if (report.verdict != SiteFileReport::Verdict::UpToDate)
            RolloutNote(options.useProgramFolder, report);
        if (report.verdict == SiteFileReport::Verdict::Installs) ResumeNote(item, report);
    }
    return result;
}

void UpdateEngine::ResumeNote(const UpdateItem& item, SiteFileReport& report) const {
    if (item.size && !item.sha256.empty())
        if (const std::optional<PatchOffer> offer =
                PatchFor(item, ProgramFolder() / *ModuleRelativePath(item.filename))) {
            report.reason += (report.reason.empty() ? "" : "; ") +
                             std::string("a run here patches ") + "the installed version with " +
                             offer->name + " (" + offer->size + " bytes instead of " +
                             std::to_string(*item.size) + ")";
            return;
        }
    std::error_code ec;
    const std::filesystem::path folder = PartialDownloads::FolderOf(ProgramFolder());
    if (item.sha256.empty() || !item.size ||
        !std::filesystem::is_directory(std::filesystem::symlink_status(folder, ec)))
        return;
    std::string error;
    const std::optional<PartialDownloads> partial = PartialDownloads::Open(ProgramFolder(), error);
    const std::optional<PartialDownloads::Kept> kept =
        partial ? partial->Find(item.sha256) : std::nullopt;
    if (!kept || kept->bytes >= *item.size) return;
    report.reason += (report.reason.empty() ? "" : "; ") + std::string("a run here goes on from ") +
                     std::to_string(kept->bytes) + " of " + std::to_string(*item.size) +
                     " bytes kept";
}

void UpdateEngine::RolloutNote(bool useProgramFolder, SiteFileReport& report) {
    const int share = ShareAt(rollout, std::time(nullptr));
    if (share >= fullRollout) return;
    const std::string at = "rollout at " + FormatPercent(share);
    if (share == 0) {
        report.verdict = SiteFileReport::Verdict::Waits;
        report.reason = "the publisher halted this release (" + at + ")";
        return;
    }
    const std::optional<std::string> id =
        useProgramFolder ? ReadInstallId(ProgramFolder()) : std::nullopt;
    report.reason = !id ? at + ": a scheduled run takes part by its place, drawn at its first run"
                    : RolloutPlace(*id, releaseSerial) < share
                        ? at + ": a scheduled run here takes part now"
                        : at + ": a scheduled run here waits its turn; asked for, it installs now";
}
