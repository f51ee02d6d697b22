// One update run of the host application's modules: manifest, version check
// against the catalogue, one question, then download, install and record each
// newer file.
//
// Stages of RunUpdate and the result each failure yields:
//   no owner attached ............................................. 3
//   not connected ................................................. 1
//   another run holds the program folder's catalogue .............. 7
//   the temporary path is unusable ................................ 3
//   manifest cannot be requested (no response, 404, any status but
//     200, a URL that cannot be canonicalised) .................... 2
//   manifest transfer fails (a body that disagrees with its
//     Content-Length, over 1 MiB, too slow) or cannot be loaded ... 3
//   filecount below 1 ............................................. 6
//   check pass: an unsupported moduletype, a file name that would
//     leave the program folder or names the catalogue, a version
//     that is not dotted digits ................................... 4
//   nothing newer than the catalogue .............................. 6
//   the user says No .............................................. 7
//   install pass, per file: cannot be requested 2, transfer fails
//     (also too large, too slow, no room) 4, cannot be put in place 7
//   everything installed and recorded ............................. 0
// Invariants: nothing is downloaded or asked before the check pass has
// accepted every entry; a catalogue row is written only right after its own
// file was put in place; a failed copy leaves the old file as it was; one
// destination has one catalogue row whatever its spelling, and never goes
// back to an older or equal version; a failed download leaves nothing on
// disk, and the run's temporary folder is gone when it ends. A CatalogError
// from the catalogue (also a catalogue that cannot be written, found before
// anything is installed) leaves RunUpdate without a result.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalog/detector_set.h"
#include "catalog/recognizer_set.h"
#include "catalog/sys_com_set.h"
#include "engine/curl_easy.h"
#include "engine/signature.h"
#include "engine/transfer_limits.h"
#include "engine/update_result.h"

class ConnectivityCheck;
class HttpRequest;
class UpdateOwner;

// The manifest's "moduletype": which catalogue table records the file.
enum class ModuleType : int { System = 0, Detector = 1, Recognizer = 2 };

// One pending file, named after the manifest keys.
struct UpdateItem {
    std::string filename;
    std::string modulename;
    std::string author;
    std::string version;
    ModuleType moduletype = ModuleType::System;
    std::string savedpath;
    // The catalogue row that already describes this destination, whatever the
    // spelling or table: its table and its key as stored. None: a new row.
    std::optional<ModuleType> recordedIn;
    std::string recordedKey;
    // What the publisher vouched for (keys "size" and "sha256"), when given.
    std::optional<uint64_t> size;
    std::string sha256;
};

// Where a run reads and writes; the defaults are the real ones.
struct EngineEnvironment {
    std::filesystem::path programFolder;        // empty: the running program's folder
    std::filesystem::path tempRoot;             // empty: the system temporary path
    ConnectivityCheck* connectivity = nullptr;  // null: the system's interfaces
    TransferLimits limits;
};

class UpdateEngine {
public:
    explicit UpdateEngine(EngineEnvironment environment = {});
    virtual ~UpdateEngine();
    UpdateEngine(const UpdateEngine&) = delete;
    UpdateEngine& operator=(const UpdateEngine&) = delete;

    // Must be called before RunUpdate; the engine never owns its owner.
    void AttachDialog(UpdateOwner* dialog) { owner = dialog; }
    // One run against baseUrl (ending in "/"). May raise CatalogError.
    int RunUpdate(const std::string& baseUrl);

    // 1 when a is newer than b, -1 older, 0 equal; -21 a malformed, -22 b.
    static int CompareVersions(const std::string& a, const std::string& b);
    // Every byte is 0-9 (true for "").
    static bool IsDigits(const std::string& text);
    // Full path of the running program file.
    std::filesystem::path GetModulePath() const;
    // Where modules are installed and the catalogue lives.
    std::filesystem::path ProgramFolder() const;
    // Puts temporary over destination atomically, then deletes temporary.
    // false when the copy failed; the destination is then untouched.
    bool InstallFile(const std::filesystem::path& destination,
                     const std::filesystem::path& temporary);

    // Transfer operations.
    bool IsConnected();
    // A request whose status and headers have arrived, or null (no response,
    // a status other than 2xx, a URL that cannot be canonicalised).
    std::unique_ptr<HttpRequest> OpenUrl(const std::string& url);
    // Streams the body into path, created afresh without following a symlink,
    // reporting progress to the owner. false without an owner, when the file cannot be made, the
    // response has no Content-Length, the transfer fails, a write is short or
    // the body's length differs from the announced one.
    bool DownloadToFile(HttpRequest& request, const std::filesystem::path& path);
    // The same with a size limit: a larger announced length, or one larger
    // than the free space beside path, is refused before any byte is read.
    bool DownloadToFile(HttpRequest& request, const std::filesystem::path& path, uint64_t maxBytes);

private:
    int CheckPass(class IniFile& manifest, int count);
    // With trusted keys: the manifest's signature, then its serial and expiry.
    int CheckSignature(const std::string& baseUrl, const std::filesystem::path& manifestCopy,
                       const std::filesystem::path& tempFolder);
    int CheckFreshness(class IniFile& manifest);
    // The downloaded file has the size and SHA-256 the manifest gives, if any.
    bool MatchesManifest(const UpdateItem& item, const std::filesystem::path& file);
    bool Receive(HttpRequest& request, class FileDescriptor& file, uint64_t length);
    // Removes the staged copies a killed run left beside destination.
    static void RemoveStagedCopies(const std::filesystem::path& destination);
    // A reason on standard error, for failures the result code cannot tell.
    static void Complain(const std::string& text);
    int InstallPass(const std::string& baseUrl, const std::filesystem::path& tempFolder);
    // The catalogue table of a module type: its recordset, the column that
    // holds the file name, and the bound members of that column and the version.
    struct CatalogTable {
        Recordset& set;
        const char* keyColumn;
        std::string& key;
        std::string& version;
    };
    CatalogTable TableFor(ModuleType type);
    void CloseRecordsets();
    // Finds the row that records item's destination under any spelling in any
    // table and notes it in item; its version is then in the table's member.
    bool FindRecordedRow(UpdateItem& item);
    // Records item; with storeSerial also the manifest's serial, in the same
    // transaction.
    void Record(const UpdateItem& item, bool storeSerial);

    CurlEasy internetHandle;
    std::vector<UpdateItem> pendingItems;
    CDetectorSet detectorSet;
    CRecognizerSet recognizerSet;
    CSysComSet systemSet;
    UpdateOwner* owner = nullptr;
    EngineEnvironment environment;
    std::string connectivityUrl;
    std::vector<PublicKey> trustedKeys;
    // The serial of a signed manifest this run accepted, to be stored.
    std::optional<long long> acceptedSerial;
};
