// The update run: its stages in order, and the manifest's one reading.
#include "engine/update_engine.h"

#include <ctime>
#include <set>

#include "catalog/program_folder.h"
#include "catalog/update_state.h"
#include "engine/canonical_url.h"
#include "engine/catalog_lock.h"
#include "engine/catalog_rows.h"
#include "engine/connectivity.h"
#include "engine/engine_texts.h"
#include "engine/file_descriptor.h"
#include "engine/http_request.h"
#include "engine/partial_downloads.h"
#include "engine/private_temp_folder.h"
#include "engine/update_owner.h"
#include "manifest/ini_file.h"
#include "manifest/text_pieces.h"
#include "trust/manifest_stamp.h"
#include "trust/update_site.h"

namespace {

std::filesystem::path ResolvedProgramFolder(const EngineEnvironment& environment) {
    return environment.programFolder.empty() ? RunningProgramFolder() : environment.programFolder;
}

}  // namespace

UpdateEngine::UpdateEngine(EngineEnvironment env)
    : detectorSet(ResolvedProgramFolder(env)),
      recognizerSet(ResolvedProgramFolder(env)),
      systemSet(ResolvedProgramFolder(env)),
      environment(std::move(env)) {
    internetHandle.SetLowSpeedLimit(environment.limits.lowSpeedBytesPerSecond,
                                    static_cast<long>(environment.limits.lowSpeedWindow.count()));
}

UpdateEngine::~UpdateEngine() = default;

std::filesystem::path UpdateEngine::GetModulePath() const {
    return ProgramPath();
}

std::filesystem::path UpdateEngine::ProgramFolder() const {
    return ResolvedProgramFolder(environment);
}

int UpdateEngine::StartRun(const std::string& siteUrl, std::string& baseUrl) {
    // Each run starts afresh, so an engine can be used for more than one run.
    pendingItems.clear();
    log.Clear();
    if (owner == nullptr) {
        log.Complain("no owner is attached to the update run: nothing could be shown or asked");
        return UpdateCannotStart;
    }
    baseUrl = FolderUrl(siteUrl);
    siteRoot = baseUrl;
    channel = update_site::stableChannel;
    connectivityUrl = baseUrl;
    if (!IsConnected()) {
        log.Complain("no network connection to reach " + baseUrl);
        return UpdateNoConnection;
    }
    return UpdateSucceeded;
}

int UpdateEngine::RunUpdate(const std::string& siteUrl) {
    CatalogRows rows(detectorSet, recognizerSet, systemSet);
    std::string baseUrl;
    if (const int failed = StartRun(siteUrl, baseUrl)) return failed;

    // One run per program folder at a time; a second one touches nothing.
    RequireCatalog(ProgramFolder());
    const std::optional<CatalogLock> lock =
        CatalogLock::Acquire(CatalogPath(ProgramFolder()), environment.limits.lockWait);
    if (!lock) {
        log.Complain("another update is running on " + ProgramFolder().string());
        return UpdateNotCompleted;
    }
    if (const int failed = ChooseChannel(true, baseUrl)) return failed;
    if (const int failed = trust.Load(ProgramFolder(), {}, true, channel)) return failed;
    std::optional<PrivateTempFolder> tempFolder;
    IniFile manifest("");
    if (const int failed = ReadCheckedManifest(baseUrl, tempFolder, manifest)) return failed;
    // A channel asked for becomes the folder's choice once its manifest was
    // taken: a mistyped name is never remembered.
    if (!environment.channel.empty() &&
        ReadChannel(ProgramFolder()).value_or(update_site::stableChannel) != channel)
        StoreChannel(ProgramFolder(), channel);
    // Before anything else can fail: a withdrawal, a declined question or a
    // failed download still makes every older manifest a replay.
    if (trust.SignedSite()) trust.StoreManifestSerial(ProgramFolder());
    const int count = manifest.GetValueInt("Main", "filecount");
    if (count < 1) {
        ForgetUnlistedPartials();  // none is listed any more
        return UpdateUpToDate;
    }

    rows.Open();
    if (const int failed = CheckPass(manifest, count, rows)) return failed;
    ForgetUnlistedPartials();
    if (pendingItems.empty()) return UpdateUpToDate;
    if (!TakesItsTurn()) {
        pendingItems.clear();
        return UpdateUpToDate;
    }
    if (!owner->AskYesNo(owner->Translate(engine_text::question),
                         owner->Translate(engine_text::questionCaption)))
        return UpdateNotCompleted;
    // A catalogue that cannot take the records must be found before a module
    // is replaced, not half-way.
    rows.CheckWritable();
    return InstallPass(baseUrl, tempFolder->Path(), rows);
}

void UpdateEngine::ForgetUnlistedPartials() {
    const std::filesystem::path folder = PartialDownloads::FolderOf(ProgramFolder());
    std::error_code ec;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(folder, ec))) return;
    std::string error;
    const std::optional<PartialDownloads> partial = PartialDownloads::Open(ProgramFolder(), error);
    if (!partial) return;  // the install pass refuses it, with the reason
    std::set<std::string> listed;
    for (const UpdateItem& item : pendingItems) listed.insert(AsciiLower(item.sha256));
    partial->KeepOnly(listed);
}

int UpdateEngine::ChooseChannel(bool useProgramFolder, std::string& baseUrl) {
    channel = environment.channel;
    if (channel.empty() && useProgramFolder)
        channel = ReadChannel(ProgramFolder()).value_or(update_site::stableChannel);
    if (channel.empty()) channel = update_site::stableChannel;
    if (!update_site::IsChannelName(channel)) {
        log.Complain("\"" + channel +
                     "\" is no channel's name: 1 to 32 of a-z, 0-9, - and _ (stable by default)");
        return UpdateManifestFailed;
    }
    baseUrl = siteRoot + update_site::ChannelFolder(channel);
    return UpdateSucceeded;
}

int UpdateEngine::ReadCheckedManifest(const std::string& baseUrl,
                                      std::optional<PrivateTempFolder>& tempFolder,
                                      IniFile& manifest) {
    std::string error;
    std::optional<PrivateTempFolder> made = PrivateTempFolder::Make(environment.tempRoot, error);
    if (!made) {
        log.Complain(error);
        return UpdateCannotStart;
    }
    tempFolder.emplace(std::move(*made));
    if (trust.SignedSite())
        if (const int failed = trust.WalkKeyLists(siteRoot, tempFolder->Path(), *owner))
            return failed;
    std::string bytes;
    if (const int failed = FetchManifest(baseUrl, *tempFolder, bytes)) return failed;
    manifest.LoadText(bytes);
    if (trust.SignedSite())
        if (const int failed =
                trust.CheckSignedManifest(baseUrl, tempFolder->Path(), bytes, manifest, *owner))
            return failed;
    const std::optional<Rollout> read = ReadRollout(manifest, error);
    if (!read) {
        log.Complain(error);
        return UpdateManifestFailed;
    }
    rollout = *read;
    releaseSerial = ParseSerial(manifest.GetValue("Main", "serial")).value_or(0);
    return UpdateSucceeded;
}

bool UpdateEngine::TakesItsTurn() {
    const int share = ShareAt(rollout, std::time(nullptr));
    // A scheduled run stays quiet: waiting is neither a change nor a failure.
    if (share == 0) {
        if (!environment.scheduled)
            RunLog::Warn(
                "the publisher halted this release (rollout 0 %): nothing is installed "
                "until it goes on");
        return false;
    }
    if (!environment.scheduled || share >= fullRollout) return true;
    return RolloutPlace(InstallId(ProgramFolder()), releaseSerial) < share;
}

int UpdateEngine::FetchManifest(const std::string& baseUrl, const PrivateTempFolder& tempFolder,
                                std::string& bytes) {
    std::unique_ptr<HttpRequest> request = transfer.OpenUrl(baseUrl + update_site::manifestName);
    if (!request) return UpdateRequestFailed;
    const std::filesystem::path copy = tempFolder.Path() / update_site::manifestName;
    const bool downloaded =
        transfer.DownloadToFile(*request, copy, environment.limits.maxManifestBytes, *owner);
    request.reset();
    if (!downloaded) return UpdateManifestFailed;
    // Read once: the signature is checked on these bytes, and the reader
    // parses these bytes, never a second reading of the file.
    const std::optional<std::string> read = ReadWholeFile(copy);
    if (!read) {
        log.Complain("cannot read the downloaded manifest " + copy.string());
        return UpdateManifestFailed;
    }
    bytes = *read;
    return UpdateSucceeded;
}

bool UpdateEngine::IsConnected() {
    if (internetHandle.Handle() == nullptr) return false;
    SystemConnectivity system;
    ConnectivityCheck& check = environment.connectivity ? *environment.connectivity : system;
    return check.IsConnected(connectivityUrl);
}

std::unique_ptr<HttpRequest> UpdateEngine::OpenUrl(const std::string& url) {
    return transfer.OpenUrl(url);
}

bool UpdateEngine::DownloadToFile(HttpRequest& request, const std::filesystem::path& path) {
    return owner != nullptr &&
           transfer.DownloadToFile(request, path, environment.limits.maxModuleBytes, *owner);
}

bool UpdateEngine::IsDigits(const std::string& text) {
    return AllDigits(text);
}

int UpdateEngine::CompareVersions(const std::string& a, const std::string& b) {
    return ::CompareVersions(a, b);
}
