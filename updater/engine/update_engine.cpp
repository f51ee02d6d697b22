// The update run: manifest, check pass, the question, install pass.
#include "engine/update_engine.h"

#include <algorithm>
#include <cstdlib>

#include "catalog/program_folder.h"
#include "engine/http_request.h"
#include "engine/module_path.h"
#include "engine/catalog_lock.h"
#include "engine/private_temp_folder.h"
#include "engine/update_owner.h"
#include "manifest/ini_file.h"

namespace {

constexpr const char* manifestName = "autoupdate.txt";
constexpr const char* questionText = "人脸检测识别系统升级程序检测到新版本，是否升级?";
constexpr const char* questionCaption = "人脸检测识别系统在线升级";
constexpr const char* downloadingPrefix = "正在下载文件:";

std::filesystem::path ResolvedProgramFolder(const EngineEnvironment& environment) {
    return environment.programFolder.empty() ? ::ProgramFolder() : environment.programFolder;
}

// Digits and dots with at least one digit: what a version may be made of.
bool IsDottedDigits(const std::string& version) {
    bool digit = false;
    for (char c : version) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c != '.')
            return false;
    }
    return digit;
}

std::optional<ModuleType> ManifestModuleType(int number) {
    if (number < 0 || number > 2) return std::nullopt;
    return static_cast<ModuleType>(number);
}

// The temporary path: the environment's, or the system's (TMPDIR), which may
// name something unusable; nothing, with the reason, then.
std::optional<std::filesystem::path> TempRoot(const EngineEnvironment& environment,
                                              std::string& error) {
    if (!environment.tempRoot.empty()) return environment.tempRoot;
    std::error_code ec;
    std::filesystem::path root = std::filesystem::temp_directory_path(ec);
    if (ec) {
        const char* named = std::getenv("TMPDIR");
        error = "the temporary folder " + std::string(named != nullptr ? named : "/tmp") +
                " is unusable: " + ec.message();
        return std::nullopt;
    }
    return root;
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

std::filesystem::path UpdateEngine::GetModulePath() const { return ProgramPath(); }

std::filesystem::path UpdateEngine::ProgramFolder() const {
    return ResolvedProgramFolder(environment);
}

void UpdateEngine::CloseRecordsets() {
    systemSet.Close();
    recognizerSet.Close();
    detectorSet.Close();
}

int UpdateEngine::RunUpdate(const std::string& baseUrl) {
    // Each run starts afresh and leaves the catalogue closed on every way out,
    // so an engine can be used for more than one run.
    pendingItems.clear();
    struct Closer {
        UpdateEngine& engine;
        ~Closer() { engine.CloseRecordsets(); }
    } closer{*this};
    if (owner == nullptr) return UpdateManifestFailed;
    connectivityUrl = baseUrl;
    if (!IsConnected()) return UpdateNoConnection;

    // One run per program folder at a time; a second one touches nothing.
    const std::optional<CatalogLock> lock =
        CatalogLock::Acquire(CatalogPath(ProgramFolder()), environment.limits.lockWait);
    if (!lock) {
        Complain("another update is running on " + ProgramFolder().string());
        return UpdateNotCompleted;
    }
    std::string error;
    const std::optional<std::filesystem::path> tempRoot = TempRoot(environment, error);
    const std::optional<PrivateTempFolder> tempFolder =
        tempRoot ? PrivateTempFolder::Make(*tempRoot, error) : std::nullopt;
    if (!tempFolder) {
        Complain(error);
        return UpdateManifestFailed;
    }

    std::unique_ptr<HttpRequest> manifestRequest = OpenUrl(baseUrl + manifestName);
    if (!manifestRequest) return UpdateRequestFailed;
    const std::filesystem::path manifestCopy = tempFolder->Path() / manifestName;
    const bool downloaded =
        DownloadToFile(*manifestRequest, manifestCopy, environment.limits.maxManifestBytes);
    manifestRequest.reset();
    if (!downloaded) return UpdateManifestFailed;

    IniFile manifest(manifestCopy.string());
    if (!manifest.Load()) return UpdateManifestFailed;
    const int count = manifest.GetValueInt("Main", "filecount");
    if (count < 1) return UpdateUpToDate;

    if (!systemSet.IsOpen()) systemSet.Open();
    if (!detectorSet.IsOpen()) detectorSet.Open();
    if (!recognizerSet.IsOpen()) recognizerSet.Open();

    if (const int failed = CheckPass(manifest, count); failed != UpdateSucceeded) return failed;
    if (pendingItems.empty()) return UpdateUpToDate;
    if (!owner->AskYesNo(questionText, questionCaption)) return UpdateNotCompleted;
    // A catalogue that cannot take the records must be found before a module
    // is replaced, not half-way.
    systemSet.CheckWritable();
    return InstallPass(baseUrl, tempFolder->Path());
}

UpdateEngine::CatalogTable UpdateEngine::TableFor(ModuleType type) {
    switch (type) {
        case ModuleType::Detector:
            return {detectorSet, "dllname", detectorSet.m_dllname, detectorSet.m_version};
        case ModuleType::Recognizer:
            return {recognizerSet, "dllname", recognizerSet.m_dllname, recognizerSet.m_version};
        case ModuleType::System:
            break;
    }
    return {systemSet, "component", systemSet.m_component, systemSet.m_version};
}

// Looks through every table for a row whose key names item's destination in
// any spelling; the first one found (system, detector, recognizer, each in
// rowid order) is current in its recordset and noted in item.
bool UpdateEngine::FindRecordedRow(UpdateItem& item) {
    const std::string identity = ModuleIdentity(item.filename);
    for (ModuleType type : {ModuleType::System, ModuleType::Detector, ModuleType::Recognizer}) {
        const CatalogTable table = TableFor(type);
        // The designed lookup first: the same text, ignoring case.
        table.set.MoveFirst();
        bool found = table.set.FindFirst(table.keyColumn, item.filename);
        if (!found) {
            for (table.set.MoveFirst(); table.set.HasCurrentRow(); table.set.MoveNext()) {
                if (ModuleIdentity(table.key) == identity) {
                    found = true;
                    break;
                }
            }
        }
        if (found) {
            item.recordedIn = type;
            item.recordedKey = table.key;
            return true;
        }
    }
    return false;
}

int UpdateEngine::CheckPass(IniFile& manifest, int count) {
    const std::filesystem::path programFolder = ProgramFolder();
    std::vector<std::filesystem::path> destinations;
    for (int i = 1; i <= count; ++i) {
        const std::string section = "File" + std::to_string(i);
        UpdateItem item;
        item.filename = manifest.GetValue(section, "filename");
        item.version = manifest.GetValue(section, "version");
        item.savedpath = manifest.GetValue(section, "savedpath");
        const std::optional<ModuleType> type =
            ManifestModuleType(manifest.GetValueInt(section, "moduletype"));
        if (!type) return UpdateModuleFailed;
        item.moduletype = *type;
        // A name that leaves the program folder ends the run before anything is
        // downloaded or asked; so does one that would replace the catalogue.
        const std::optional<std::filesystem::path> relative = ModuleRelativePath(item.filename);
        if (!relative) return UpdateModuleFailed;
        if (NamesCatalogue(programFolder, *relative)) {
            Complain(item.filename + " names the module catalogue");
            return UpdateModuleFailed;
        }
        // A version that cannot be compared would freeze the module for good.
        if (!IsDottedDigits(item.version)) {
            Complain(item.filename + ": version \"" + item.version + "\" is not dotted digits");
            return UpdateModuleFailed;
        }
        destinations.push_back(programFolder / *relative);
        if (item.moduletype != ModuleType::System) {
            item.author = manifest.GetValue(section, "author");
            item.modulename = manifest.GetValue(section, "modulename");
        }
        // The recorded row, under any spelling or type, decides; a stored
        // version that is not dotted digits counts as older than any.
        if (FindRecordedRow(item)) {
            const int order = CompareVersions(item.version, TableFor(*item.recordedIn).version);
            if (order != 1 && order != -22) continue;
        }
        // The same destination listed twice: the newer entry stands.
        const std::string identity = ModuleIdentity(item.filename);
        const auto listed = std::find_if(pendingItems.begin(), pendingItems.end(),
                                         [&](const UpdateItem& other) {
                                             return ModuleIdentity(other.filename) == identity;
                                         });
        if (listed == pendingItems.end())
            pendingItems.push_back(std::move(item));
        else if (CompareVersions(item.version, listed->version) == 1)
            *listed = std::move(item);
    }
    // Copies a killed run left beside its destinations are of no use to anyone.
    for (const std::filesystem::path& destination : destinations) RemoveStagedCopies(destination);
    return UpdateSucceeded;
}

int UpdateEngine::InstallPass(const std::string& baseUrl, const std::filesystem::path& tempFolder) {
    const std::filesystem::path programFolder = ProgramFolder();
    for (const UpdateItem& item : pendingItems) {
        const std::filesystem::path relative = *ModuleRelativePath(item.filename);
        const std::filesystem::path destination = programFolder / relative;
        // Subfolders of the name stay out of the private folder: one flat level.
        const std::filesystem::path temporary = tempFolder / relative.filename();
        owner->SetStatusText(downloadingPrefix + item.filename);

        std::unique_ptr<HttpRequest> request = OpenUrl(baseUrl + relative.generic_string());
        if (!request) return UpdateRequestFailed;
        const bool downloaded = DownloadToFile(*request, temporary);
        request.reset();
        if (!downloaded) return UpdateModuleFailed;
        if (!InstallFile(destination, temporary)) return UpdateNotCompleted;
        Record(item);
    }
    return UpdateSucceeded;
}

void UpdateEngine::Record(const UpdateItem& item) {
    // The row found by the check pass, in its own table; otherwise a new row
    // in the item's table, keyed by the manifest's text as written.
    const ModuleType type = item.recordedIn.value_or(item.moduletype);
    const CatalogTable table = TableFor(type);
    table.set.MoveFirst();
    const bool found = item.recordedIn && table.set.FindFirst(table.keyColumn, item.recordedKey);
    if (found)
        table.set.Edit();
    else
        table.set.AddNew();
    if (!found) table.key = item.filename;
    table.version = item.version;
    if (type != ModuleType::System) {
        ModuleSet& set = static_cast<ModuleSet&>(table.set);
        set.m_author = item.author;
        set.m_modulename = item.modulename;
    }
    table.set.Update();
}
