// The update run: its stages in order, and the manifest's one reading.
#include "engine/update_engine.h"

#include <cstdio>

#include "catalog/program_folder.h"
#include "engine/canonical_url.h"
#include "engine/catalog_lock.h"
#include "engine/file_descriptor.h"
#include "engine/http_request.h"
#include "engine/private_temp_folder.h"
#include "engine/update_owner.h"
#include "manifest/ini_file.h"

namespace {

constexpr const char* manifestName = "autoupdate.txt";

constexpr const char* questionText = "人脸检测识别系统升级程序检测到新版本，是否升级?";
constexpr const char* questionCaption = "人脸检测识别系统在线升级";

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
    failureReason.clear();
    manifestSerial.reset();
    if (owner == nullptr) {
        Complain("no owner is attached to the update run: nothing could be shown or asked");
        return UpdateCannotStart;
    }
    baseUrl = FolderUrl(siteUrl);
    connectivityUrl = baseUrl;
    if (!IsConnected()) {
        Complain("no network connection to reach " + baseUrl);
        return UpdateNoConnection;
    }
    return UpdateSucceeded;
}

int UpdateEngine::RunUpdate(const std::string& siteUrl) {
    const RecordsetCloser closer{*this};
    std::string baseUrl;
    if (const int failed = StartRun(siteUrl, baseUrl)) return failed;

    // One run per program folder at a time; a second one touches nothing.
    RequireCatalog(ProgramFolder());
    const std::optional<CatalogLock> lock =
        CatalogLock::Acquire(CatalogPath(ProgramFolder()), environment.limits.lockWait);
    if (!lock) {
        Complain("another update is running on " + ProgramFolder().string());
        return UpdateNotCompleted;
    }
    if (const int failed = LoadTrust({})) return failed;
    std::optional<PrivateTempFolder> tempFolder;
    IniFile manifest("");
    if (const int failed = ReadCheckedManifest(baseUrl, tempFolder, manifest)) return failed;
    // Before anything else can fail: a withdrawal, a declined question or a
    // failed download still makes every older manifest a replay.
    if (!trustedKeys.empty()) StoreManifestSerial();
    const int count = manifest.GetValueInt("Main", "filecount");
    if (count < 1) return UpdateUpToDate;

    OpenRecordsets();
    if (const int failed = CheckPass(manifest, count)) return failed;
    if (pendingItems.empty()) return UpdateUpToDate;
    if (!owner->AskYesNo(questionText, questionCaption)) return UpdateNotCompleted;
    // A catalogue that cannot take the records must be found before a module
    // is replaced, not half-way.
    systemSet.CheckWritable();
    return InstallPass(baseUrl, tempFolder->Path());
}

int UpdateEngine::ReadCheckedManifest(const std::string& baseUrl,
                                      std::optional<PrivateTempFolder>& tempFolder,
                                      IniFile& manifest) {
    std::string error;
    std::optional<PrivateTempFolder> made = PrivateTempFolder::Make(environment.tempRoot, error);
    if (!made) {
        Complain(error);
        return UpdateCannotStart;
    }
    tempFolder.emplace(std::move(*made));
    std::string bytes;
    if (const int failed = FetchManifest(baseUrl, *tempFolder, bytes)) return failed;
    manifest.LoadText(bytes);
    if (trustedKeys.empty()) return UpdateSucceeded;
    return CheckSignedManifest(baseUrl, tempFolder->Path(), bytes, manifest);
}

int UpdateEngine::FetchManifest(const std::string& baseUrl, const PrivateTempFolder& tempFolder,
                                std::string& bytes) {
    std::unique_ptr<HttpRequest> request = OpenUrl(baseUrl + manifestName);
    if (!request) return UpdateRequestFailed;
    const std::filesystem::path copy = tempFolder.Path() / manifestName;
    const bool downloaded = DownloadToFile(*request, copy, environment.limits.maxManifestBytes);
    request.reset();
    if (!downloaded) return UpdateManifestFailed;
    // Read once: the signature is checked on these bytes, and the reader
    // parses these bytes, never a second reading of the file.
    const std::optional<std::string> read = ReadWholeFile(copy);
    if (!read) {
        Complain("cannot read the downloaded manifest " + copy.string());
        return UpdateManifestFailed;
    }
    bytes = *read;
    return UpdateSucceeded;
}

void UpdateEngine::Complain(const std::string& text) {
    failureReason = text;
    std::fprintf(stderr, "tarvex: %s\n", text.c_str());
}

void UpdateEngine::Warn(const std::string& text) {
    std::fprintf(stderr, "tarvex: %s\n", text.c_str());
}
