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

std::filesystem::path ResolvedProgramPath(const EngineEnvironment& environment) {
    return environment.programPath.empty() ? ProgramPath() : environment.programPath;
}

}  // namespace

UpdateEngine::UpdateEngine(EngineEnvironment env)
    : detectorSet(ResolvedProgramPath(env).parent_path()),
      recognizerSet(ResolvedProgramPath(env).parent_path()),
      systemSet(ResolvedProgramPath(env).parent_path()),
      environment(std::move(env)) {}

UpdateEngine::~UpdateEngine() = default;

std::filesystem::path UpdateEngine::GetModulePath() const {
    return ResolvedProgramPath(environment);
}

int UpdateEngine::RunUpdate(const std::string& baseUrl) {
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
    if (const int failed = InstallPass(baseUrl, *tempFolder); failed != UpdateSucceeded)
        return failed;

    systemSet.Close();
    recognizerSet.Close();
    detectorSet.Close();
    return UpdateSucceeded;
}

Recordset& UpdateEngine::SetFor(int moduletype) {
    if (moduletype == 1) return detectorSet;
    if (moduletype == 2) return recognizerSet;
    return systemSet;
}

// Positions the type's recordset on the row of item's file, if there is one.
// Precondition: moduletype is 0, 1 or 2.
bool UpdateEngine::FindRow(const UpdateItem& item) {
    Recordset& set = SetFor(item.moduletype);
    set.MoveFirst();
    return set.FindFirst(item.moduletype == 0 ? "component" : "dllname", item.filename);
}

int UpdateEngine::CheckPass(IniFile& manifest, int count) {
    for (int i = 1; i <= count; ++i) {
        const std::string section = "File" + std::to_string(i);
        UpdateItem item;
        item.filename = manifest.GetValue(section, "filename");
        item.version = manifest.GetValue(section, "version");
        item.savedpath = manifest.GetValue(section, "savedpath");
        item.moduletype = manifest.GetValueInt(section, "moduletype");
        if (item.moduletype < 0 || item.moduletype > 2) return UpdateModuleFailed;
        // A name that leaves the program folder ends the run before anything is
        // downloaded or asked.
        if (!ModuleRelativePath(item.filename)) return UpdateModuleFailed;
        const bool found = FindRow(item);
        if (item.moduletype != 0) {
            item.author = manifest.GetValue(section, "author");
            item.modulename = manifest.GetValue(section, "modulename");
        }
        const std::string& stored = item.moduletype == 0   ? systemSet.m_version
                                    : item.moduletype == 1 ? detectorSet.m_version
                                                           : recognizerSet.m_version;
        if (!found || CompareVersions(item.version, stored) == 1)
            pendingItems.push_back(std::move(item));
    }
    return UpdateSucceeded;
}

int UpdateEngine::InstallPass(const std::string& baseUrl, const std::filesystem::path& tempFolder) {
    const std::filesystem::path programFolder = GetModulePath().parent_path();
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
    if (item.moduletype == 0) {
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
    ModuleSet& set = item.moduletype == 1 ? static_cast<ModuleSet&>(detectorSet) : recognizerSet;
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
