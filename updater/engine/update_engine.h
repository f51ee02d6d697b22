// One update run of the host application's modules: manifest, version check
// against the catalogue, one question, then download, install and record each
// newer file.
//
// Stages of RunUpdate and the result each failure yields:
//   no owner attached ............................................. 3
//   not connected ................................................. 1
//   no catalogue, or one that cannot be locked ........... CatalogError
//   another run holds the program folder's catalogue .............. 7
//   the folder's trust cannot be read (a bad data/update-keys), or it
//     accepted signed updates before and trusts no key now ........ 3
//   the temporary path is unusable ................................ 3
//   manifest cannot be requested (no response, 404, any status but
//     200, a URL that cannot be canonicalised) .................... 2
//   manifest transfer fails (a body that disagrees with its
//     Content-Length, over 1 MiB, too slow) ....................... 3
//   with a trusted key: no valid signature, a line the reader would
//     cut, a malformed or older serial, an impossible or past expiry 3
//     (then the serial is stored, in its own transaction)
//   filecount below 1 ............................................. 6
//   check pass: an unsupported moduletype, a file name that would
//     leave the program folder or names the catalogue, a bad size or
//     hash, or, signed, a file without both ....................... 4
//     (an entry with a malformed version is left out, as designed)
//   nothing newer than the catalogue .............................. 6
//   the user says No .............................................. 7
//   install pass, per file: cannot be requested 2, transfer fails
//     (also too large, too slow, no room, other bytes than vouched
//     for) 4, cannot be put in place 7
//   everything installed and recorded ............................. 0
// Invariants: nothing is downloaded or asked before the check pass has
// accepted every entry; a catalogue row is written only right after its own
// file was put in place and made durable; a failed copy leaves the old file
// as it was; one destination has one catalogue row whatever its spelling, and
// never goes back to an older or equal version; a malformed version is never
// recorded; a failed download leaves nothing on disk, and the run's temporary
// folder is gone when it ends; a signed manifest is parsed from exactly the
// bytes whose signature was checked, and its serial is stored once accepted,
// so no older one is ever accepted again. A CatalogError from the catalogue
// (also a catalogue that cannot be written, found before anything is
// installed) leaves RunUpdate without a result. Every failure's reason goes
// to standard error and stays readable in FailureReason.
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
#include "engine/transfer_limits.h"
#include "engine/update_result.h"
#include "trust/manifest_rules.h"
#include "trust/signature.h"

class ConnectivityCheck;
class HttpRequest;
class IniFile;
class PrivateTempFolder;
class UpdateOwner;

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

// How the check pass takes one listed entry; the run and the dry run both
// act on these plans, so they can never disagree.
struct EntryPlan {
    enum class Kind {
        Fails,       // breaks a rule: the run ends with 4 before anything is fetched
        LeftOut,     // a malformed version: this file alone is skipped
        Pending,     // newer than the catalogue records: installed
        UpToDate,    // not newer: not installed
        Superseded,  // its destination is listed again at a newer version, which stands
    };
    ManifestEntry entry;
    Kind kind = Kind::Fails;
    std::string reason;  // Fails, LeftOut: the broken rule; Superseded: which entry stands
    UpdateItem item;     // Pending, UpToDate, Superseded: what would be installed
};

// Where a run reads and writes; the defaults are the real ones.
struct EngineEnvironment {
    std::filesystem::path programFolder;        // empty: the running program's folder
    std::filesystem::path tempRoot;             // empty: the system temporary path
    ConnectivityCheck* connectivity = nullptr;  // null: the system's interfaces
    TransferLimits limits;
};

// What a dry run found out about one listed file.
struct SiteFileReport {
    enum class Verdict { Installs, UpToDate, Verified, LeftOut, Superseded, Fails };
    std::string filename;
    std::string version;
    std::string size;    // bytes, as received
    std::string sha256;  // of the bytes received
    Verdict verdict = Verdict::Fails;
    std::string reason;  // for LeftOut, Superseded and Fails
};

// How a dry run is trusted: a program folder's keys and catalogue, and
// further publisher keys.
struct SiteCheckOptions {
    bool useProgramFolder = true;
    std::vector<PublicKey> extraKeys;
};

class UpdateEngine {
public:
    explicit UpdateEngine(EngineEnvironment environment = {});
    virtual ~UpdateEngine();
    UpdateEngine(const UpdateEngine&) = delete;
    UpdateEngine& operator=(const UpdateEngine&) = delete;

    // Must be called before RunUpdate; the engine never owns its owner.
    void AttachDialog(UpdateOwner* dialog) { owner = dialog; }
    // One run against baseUrl (a missing final "/" is added). May raise CatalogError.
    int RunUpdate(const std::string& baseUrl);
    // A dry run: the manifest and every listed file are fetched and checked
    // as RunUpdate would check them, nothing is asked, installed or written.
    // 0 only when a client would accept the whole site; otherwise the code
    // RunUpdate would end with (4 also for a file that would be left out).
    int CheckSite(const std::string& baseUrl, const SiteCheckOptions& options,
                  std::vector<SiteFileReport>& files);
    // Why the last run failed, as also written to standard error; empty after
    // a success or a declined question.
    const std::string& FailureReason() const { return failureReason; }

    // CompareVersions' answers for a malformed version, a examined first.
    static constexpr int versionAMalformed = -21;
    static constexpr int versionBMalformed = -22;
    // 1 when a is newer than b, -1 older, 0 equal; versionAMalformed when a
    // is malformed, else versionBMalformed when b is.
    static int CompareVersions(const std::string& a, const std::string& b);
    // Every byte is 0-9 (true for "").
    static bool IsDigits(const std::string& text);
    // Full path of the running program file.
    std::filesystem::path GetModulePath() const;
    // Where modules are installed and the catalogue lives.
    std::filesystem::path ProgramFolder() const;
    // Puts temporary over destination atomically and durably, then deletes
    // temporary. false when the copy failed; the destination is then the old file.
    bool InstallFile(const std::filesystem::path& destination,
                     const std::filesystem::path& temporary);

    // Transfer operations.
    bool IsConnected();
    // A request whose status and headers have arrived, or null (no response,
    // a status other than 200, a URL that cannot be canonicalised), the
    // reason then told.
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
    // Closes the catalogue's recordsets on every way out of a run.
    struct RecordsetCloser {
        UpdateEngine& engine;
        ~RecordsetCloser() { engine.CloseRecordsets(); }
    };
    // update_engine.cpp: what every run and dry run does first: forgets the
    // last run, then finds the site's folder URL and that it can be reached.
    // 0, or the code to end with, the reason told.
    int StartRun(const std::string& siteUrl, std::string& baseUrl);
    // Stages, each in the file of its concern.
    // trust_check.cpp: the folder's keys and accepted serial; then, for a
    // signed manifest, its signature, lines, serial and expiry.
    int LoadTrust(const SiteCheckOptions& options);
    int CheckSignedManifest(const std::string& baseUrl, const std::filesystem::path& tempFolder,
                            const std::string& bytes, IniFile& manifest);
    void StoreManifestSerial();
    // update_engine.cpp: makes the run's temporary folder, fetches the
    // manifest into it and reads it; a signed one is checked whole. 0, or
    // the code to end with, the reason told.
    int ReadCheckedManifest(const std::string& baseUrl,
                            std::optional<PrivateTempFolder>& tempFolder, IniFile& manifest);
    // The manifest's bytes, read once.
    int FetchManifest(const std::string& baseUrl, const PrivateTempFolder& tempFolder,
                      std::string& bytes);
    // check_pass.cpp: every entry 1..count against the rules (signedSite:
    // size and hash required), this folder's catalogue (withCatalogue;
    // without it every file is new, as to an empty catalogue) and the other
    // entries (a destination listed twice: the newer stands).
    std::vector<EntryPlan> PlanEntries(IniFile& manifest, int count, bool signedSite,
                                       bool withCatalogue);
    // Fills pendingItems from the plans; the first failing entry ends it.
    int CheckPass(IniFile& manifest, int count);
    // Why a well-formed entry may still not be installed here: its name
    // leads to this folder's catalogue (through a link, say). Empty when not.
    std::string CatalogueClash(const ManifestEntry& entry) const;
    // The pending item of a well-formed entry.
    static UpdateItem ItemOf(const ManifestEntry& entry);
    // Whether entry (well-formed) is newer than what the catalogue records
    // for its destination; notes the recorded row in item.
    bool IsNewer(UpdateItem& item);
    // install_pass.cpp
    int InstallPass(const std::string& baseUrl, const std::filesystem::path& tempFolder);
    // Fetches item into folder and checks it against what the manifest
    // vouches for; 0, or the install pass's code with the reason told.
    int Fetch(const UpdateItem& item, const std::string& baseUrl,
              const std::filesystem::path& temporary);
    // The downloaded file has the size and SHA-256 the manifest gives, if any.
    bool MatchesManifest(const UpdateItem& item, const std::filesystem::path& file);
    bool Receive(HttpRequest& request, class FileDescriptor& file, uint64_t length);

    // catalog_rows.cpp: the catalogue table of a module type: its recordset,
    // the column that holds the file name, and the bound members of that
    // column and the version.
    struct CatalogTable {
        Recordset& set;
        const char* keyColumn;
        std::string& key;
        std::string& version;
    };
    CatalogTable TableFor(ModuleType type);
    void OpenRecordsets();
    void CloseRecordsets();
    // Finds the row that records item's destination under any spelling in any
    // table and notes it in item; its version is then in the table's member.
    bool FindRecordedRow(UpdateItem& item);
    void Record(const UpdateItem& item);

    // A failure's reason on standard error, kept for FailureReason.
    void Complain(const std::string& text);
    // A note on standard error about something the run leaves out.
    static void Warn(const std::string& text);

    CurlEasy internetHandle;
    std::vector<UpdateItem> pendingItems;
    CDetectorSet detectorSet;
    CRecognizerSet recognizerSet;
    CSysComSet systemSet;
    UpdateOwner* owner = nullptr;
    EngineEnvironment environment;
    std::string connectivityUrl;
    std::string failureReason;
    // Trust of this run: the keys (none: unsigned manifests, as designed),
    // the serial the catalogue holds, and the signed manifest's serial.
    std::vector<PublicKey> trustedKeys;
    std::optional<long long> storedSerial;
    std::optional<long long> manifestSerial;
};
