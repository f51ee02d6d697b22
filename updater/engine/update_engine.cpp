// The update run: manifest, check pass, the question, install pass.
#include "engine/update_engine.h"

#include "catalog/program_folder.h"
#include "engine/http_request.h"
#include "engine/module_path.h"
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

std::optional<ModuleType> ManifestModuleType(int number) {
    if (number < 0 || number > 2) return std::nullopt;
    return static_cast<ModuleType>(number);
}

}  // namespace

UpdateEngine::UpdateEngine(EngineEnvironment env)
    : detectorSet(ResolvedProgramFolder(env)),
      recognizerSet(ResolvedProgramFolder(env)),
      systemSet(ResolvedProgramFolder(env)),
      environment(std::move(env)) {}

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

    std::unique_ptr<HttpRequest> manifestRequest = OpenUrl(baseUrl + manifestName);
    if (!manifestRequest) return UpdateRequestFailed;
    const std::filesystem::path tempRoot = environment.tempRoot.empty()
                                               ? std::filesystem::temp_directory_path()
                                               : environment.tempRoot;
    const std::optional<std::filesystem::path> tempFolder = PrivateTempFolder(tempRoot);
    if (!tempFolder) return UpdateManifestFailed;
    const std::filesystem::path manifestCopy = *tempFolder / manifestName;
    const bool downloaded = DownloadToFile(*manifestRequest, manifestCopy);
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
    return InstallPass(baseUrl, *tempFolder);
}

UpdateEngine::CatalogTable UpdateEngine::TableFor(ModuleType type) {
    switch (type) {
        case ModuleType::Detector:
            return {detectorSet, "dllname", detectorSet.m_version};
        case ModuleType::Recognizer:
            return {recognizerSet, "dllname", recognizerSet.m_version};
        case ModuleType::System:
            break;
    }
    return {systemSet, "component", systemSet.m_version};
}

// Positions the type's recordset on the row of item's file, if there is one.
bool UpdateEngine::FindRow(const UpdateItem& item) {
    const CatalogTable table = TableFor(item.moduletype);
    table.set.MoveFirst();
    return table.set.FindFirst(table.keyColumn, item.filename);
}

int UpdateEngine::CheckPass(IniFile& manifest, int count) {
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
        // downloaded or asked.
        if (!ModuleRelativePath(item.filename)) return UpdateModuleFailed;
        const bool found = FindRow(item);
        if (item.moduletype != ModuleType::System) {
            item.author = manifest.GetValue(section, "author");
            item.modulename = manifest.GetValue(section, "modulename");
        }
        if (!found || CompareVersions(item.version, TableFor(item.moduletype).version) == 1)
            pendingItems.push_back(std::move(item));
    }
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
    const bool found = FindRow(item);
    if (item.moduletype == ModuleType::System) {
        if (found) {
            systemSet.Edit();
        } else {
            systemSet.AddNew();
            systemSet.m_component = item.filename;
        }
        systemSet.m_version = item.version;
        systemSet.Update();
        return;
    }
    ModuleSet& set = item.moduletype == ModuleType::Detector ? static_cast<ModuleSet&>(detectorSet)
                                                             : recognizerSet;
    if (found) {
        set.Edit();
    } else {
        set.AddNew();
        set.m_dllname = item.filename;
    }
    set.m_author = item.author;
    set.m_version = item.version;
    set.m_modulename = item.modulename;
    set.Update();
}
