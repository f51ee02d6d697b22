// The update run: manifest, check pass, the question, install pass.
#include "engine/update_engine.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "catalog/program_folder.h"
#include "catalog/sqlcipher_database.h"
#include "catalog/update_state.h"
#include "engine/catalog_lock.h"
#include "engine/file_descriptor.h"
#include "engine/http_request.h"
#include "engine/module_path.h"
#include "engine/private_temp_folder.h"
#include "engine/update_owner.h"
#include "manifest/ini_file.h"

namespace {

constexpr const char* manifestName = "autoupdate.txt";
constexpr const char* signatureName = "autoupdate.txt.sig";
constexpr uint64_t maxSignatureBytes = 4096;

constexpr const char* questionText = "人脸检测识别系统升级程序检测到新版本，是否升级?";
constexpr const char* questionCaption = "人脸检测识别系统在线升级";
constexpr const char* downloadingPrefix = "正在下载文件:";

// "YYYY-MM-DDTHH:MM:SSZ" as seconds since the epoch.
std::optional<std::time_t> ParseUtcTime(const std::string& text) {
    std::tm parts{};
    char zone = 0;
    int consumed = 0;
    if (text.size() != 20 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%n", &parts.tm_year, &parts.tm_mon,
                    &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &zone,
                    &consumed) != 7 ||
        zone != 'Z' || consumed != 20)
        return std::nullopt;
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    const std::time_t seconds = timegm(&parts);
    if (seconds == -1) return std::nullopt;
    return seconds;
}

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

std::filesystem::path UpdateEngine::GetModulePath() const {
    return ProgramPath();
}

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
    acceptedSerial.reset();
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
    trustedKeys = TrustedUpdateKeys(ProgramFolder(), TARVEX_UPDATE_PUBLIC_KEY);
    if (!trustedKeys.empty()) {
        if (const int failed = CheckSignature(baseUrl, manifestCopy, tempFolder->Path()))
            return failed;
    }

    IniFile manifest(manifestCopy.string());
    if (!manifest.Load()) return UpdateManifestFailed;
    if (!trustedKeys.empty()) {
        if (const int failed = CheckFreshness(manifest)) return failed;
    }
    const int count = manifest.GetValueInt("Main", "filecount");
    if (count < 1) return UpdateUpToDate;

    if (!systemSet.IsOpen()) systemSet.Open();
    if (!detectorSet.IsOpen()) detectorSet.Open();
    if (!recognizerSet.IsOpen()) recognizerSet.Open();

    if (const int failed = CheckPass(manifest, count); failed != UpdateSucceeded) return failed;
    if (pendingItems.empty()) {
        // Nothing to install, but a newer signed manifest was seen: an older
        // one replayed later must still be refused.
        if (acceptedSerial) StoreAcceptedSerial(ProgramFolder(), *acceptedSerial);
        return UpdateUpToDate;
    }
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
        // What the publisher vouched for: required once a key is trusted,
        // checked whenever given.
        const std::string size = manifest.GetValue(section, "size");
        item.sha256 = manifest.GetValue(section, "sha256");
        if (!size.empty()) {
            if (!IsDigits(size) || size.size() > 19) {
                Complain(item.filename + ": size \"" + size + "\" is not a number");
                return UpdateModuleFailed;
            }
            item.size = std::stoull(size);
        }
        if (!item.sha256.empty() && !IsSha256Text(item.sha256)) {
            Complain(item.filename + ": sha256 is not 64 hex digits");
            return UpdateModuleFailed;
        }
        if (!trustedKeys.empty() && (!item.size || item.sha256.empty())) {
            Complain(item.filename + ": a signed manifest must give size and sha256");
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
            const std::string& stored = TableFor(*item.recordedIn).version;
            const bool storedMalformed = !IsDottedDigits(stored);
            if (!storedMalformed && CompareVersions(item.version, stored) != 1) continue;
        }
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
        const bool downloaded =
            DownloadToFile(*request, temporary,
                           std::min(environment.limits.maxModuleBytes,
                                    item.size.value_or(environment.limits.maxModuleBytes)));
        request.reset();
        if (!downloaded) return UpdateModuleFailed;
        if (!MatchesManifest(item, temporary)) {
            std::error_code ec;
            std::filesystem::remove(temporary, ec);
            return UpdateModuleFailed;
        }
        if (!InstallFile(destination, temporary)) return UpdateNotCompleted;
        Record(item, &item == &pendingItems.back());
    }
    return UpdateSucceeded;
}

void UpdateEngine::Record(const UpdateItem& item, bool storeSerial) {
    // The row found by the check pass, in its own table; otherwise a new row
    // in the item's table, keyed by the manifest's text as written.
    const ModuleType type = item.recordedIn.value_or(item.moduletype);
    const CatalogTable table = TableFor(type);
    table.set.MoveFirst();
    const bool found = item.recordedIn && table.set.FindFirst(table.keyColumn, item.recordedKey);
    if (found) {
        table.set.Edit();
    } else {
        table.set.AddNew();
        table.key = item.filename;
    }
    table.version = item.version;
    if (type != ModuleType::System) {
        ModuleSet& set = static_cast<ModuleSet&>(table.set);
        set.m_author = item.author;
        set.m_modulename = item.modulename;
    }
    if (storeSerial && acceptedSerial) {
        const long long serial = *acceptedSerial;
        table.set.UpdateWith(
            [serial](SqlCipherDatabase& database) { WriteAcceptedSerial(database, serial); });
    } else {
        table.set.Update();
    }
}

bool UpdateEngine::MatchesManifest(const UpdateItem& item, const std::filesystem::path& file) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(file, ec);
    if (item.size && (ec || size != *item.size)) {
        Complain(item.filename + ": received " + std::to_string(size) +
                 " bytes, the manifest says " + std::to_string(*item.size));
        return false;
    }
    if (!item.sha256.empty()) {
        std::string expected = item.sha256;
        for (char& c : expected) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (Sha256OfFile(file) != expected) {
            Complain(item.filename + ": its SHA-256 differs from the manifest's");
            return false;
        }
    }
    return true;
}

int UpdateEngine::CheckSignature(const std::string& baseUrl,
                                 const std::filesystem::path& manifestCopy,
                                 const std::filesystem::path& tempFolder) {
    std::unique_ptr<HttpRequest> request = OpenUrl(baseUrl + signatureName);
    const std::filesystem::path signatureCopy = tempFolder / signatureName;
    if (!request || !DownloadToFile(*request, signatureCopy, maxSignatureBytes)) {
        Complain("the manifest's signature " + std::string(signatureName) + " is missing");
        return UpdateManifestFailed;
    }
    request.reset();
    const std::optional<std::string> manifest = ReadWholeFile(manifestCopy);
    const std::optional<std::string> signature = ReadWholeFile(signatureCopy);
    if (!manifest || !signature || !VerifySignature(*manifest, *signature, trustedKeys)) {
        Complain("the manifest's signature is not valid for any trusted key");
        return UpdateManifestFailed;
    }
    return UpdateSucceeded;
}

int UpdateEngine::CheckFreshness(IniFile& manifest) {
    // A replayed older manifest would hold modules at old versions.
    const std::string serialText = manifest.GetValue("Main", "serial");
    long long serial = 0;
    if (!serialText.empty()) {
        if (!IsDigits(serialText) || serialText.size() > 18) {
            Complain("the manifest's serial \"" + serialText + "\" is not a number");
            return UpdateManifestFailed;
        }
        serial = std::stoll(serialText);
    }
    const std::optional<long long> accepted = ReadAcceptedSerial(ProgramFolder());
    if (accepted && serial < *accepted) {
        Complain("the manifest's serial " + std::to_string(serial) +
                 " is lower than the last accepted " + std::to_string(*accepted) +
                 ": an old manifest was replayed");
        return UpdateManifestFailed;
    }
    if (!accepted || serial > *accepted) acceptedSerial = serial;
    // A manifest frozen in time would hide every newer release.
    const std::string expires = manifest.GetValue("Main", "expires");
    if (!expires.empty()) {
        const std::optional<std::time_t> deadline = ParseUtcTime(expires);
        if (!deadline) {
            Complain("the manifest's expiry \"" + expires + "\" is not YYYY-MM-DDTHH:MM:SSZ");
            return UpdateManifestFailed;
        }
        if (std::time(nullptr) >= *deadline) {
            Complain("the manifest expired at " + expires);
            return UpdateManifestFailed;
        }
    }
    return UpdateSucceeded;
}
