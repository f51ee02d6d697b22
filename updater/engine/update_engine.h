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
//   with a trusted key, the site's newer key lists (keys/N.txt): one
//     that is malformed, falls, skips a version, lacks the signatures
//     of either side's roots, more than 64 in one run, or a newest
//     list past its expiry ....................................... 3
//     (each accepted list is stored before the manifest is fetched)
//   manifest cannot be requested (no response, 404, any status but
//     200, a URL that cannot be canonicalised) .................... 2
//   manifest transfer fails (a body that disagrees with its
//     Content-Length, over 1 MiB, too slow) ....................... 3
//   with a trusted key: signatures of too few release keys, a key
//     list other than the one held, a line the reader would cut, a
//     malformed or older serial, an impossible or past expiry ..... 3
//     (then the serial is stored, in its own transaction)
//   a malformed rollout, rollout-start or rollout-daily .......... 3
//   filecount below 1 ............................................. 6
//   check pass: an unsupported moduletype, a file name that would
//     leave the program folder or names the catalogue, a bad size or
//     hash, or, signed, a file without both ....................... 4
//     (an entry with a malformed version is left out, as designed, and
//     so is every entry whose section the manifest does not hold)
//   nothing newer than the catalogue .............................. 6
//   a halted rollout (rollout=0), or a scheduled run outside the
//     rollout's share for now (rollout.h) ........................ 6
//   the user says No .............................................. 7
//   install pass, per file: cannot be requested 2, transfer fails
//     (also too large, too slow, no room, other bytes than vouched
//     for) 4, cannot be put in place 7
//   everything installed and recorded ............................. 0
// Invariants: nothing is downloaded or asked before the check pass has
// accepted every entry; a catalogue row is written only right after its own
// file was put in place and made durable; a failed copy leaves the old file
// as it was; one destination has one catalogue row whatever its spelling, and
// never goes back to an older or equal version unless a signed manifest
// says downgrade=yes for it; a malformed version is never
// recorded; a failed download leaves nothing on disk but, for a file whose size
// and hash are vouched for, its bytes in data/partial (partial_downloads.h),
// which the next run continues and checks whole, and the run's temporary
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
#include "engine/http_transfer.h"
#include "engine/run_log.h"
#include "engine/run_trust.h"
#include "engine/transfer_limits.h"
#include "engine/update_item.h"
#include "engine/update_result.h"
#include "engine/version_compare.h"
#include "trust/rollout.h"

class CatalogRows;
class ConnectivityCheck;
class HttpRequest;
class IniFile;
class PartialDownloads;
class PrivateTempFolder;
class UpdateOwner;

// Where a run reads and writes; the defaults are the real ones.
struct EngineEnvironment {
    std::filesystem::path programFolder;        // empty: the running program's folder
    std::filesystem::path tempRoot;             // empty: the system temporary path
    ConnectivityCheck* connectivity = nullptr;  // null: the system's interfaces
    TransferLimits limits;
    // A run nobody asked for (a timer): it waits its turn in a staged rollout.
    bool scheduled = false;
    // The channel to follow; empty: the one the program folder chose last
    // (stable when none). A real run given one remembers it as the choice
    // once the channel's manifest was accepted.
    std::string channel;
};

// What a dry run found out about one listed file.
struct SiteFileReport {
    enum class Verdict { Installs, UpToDate, Verified, LeftOut, Superseded, Waits, Fails };
    std::string filename;
    std::string version;
    std::string size;    // bytes, as received
    std::string sha256;  // of the bytes received
    Verdict verdict = Verdict::Fails;
    std::string reason;  // for LeftOut, Superseded, Waits and Fails; a rollout note for Installs
};

// The run is the engine; its pieces each keep their own state: the
// transfer (http_transfer.h), the catalogue rows (catalog_rows.h, made per
// run over the three recordsets), the run's trust (run_trust.h), the plans
// of the entries (entry_plans.h) and the failure's reason (run_log.h).
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
    const std::string& FailureReason() const { return log.Reason(); }
    // The files the last run installed (all of them when it returned 0).
    const std::vector<UpdateItem>& PendingItems() const { return pendingItems; }
    // The last manifest's rollout, and the share it reaches now.
    const Rollout& ReleaseRollout() const { return rollout; }
    // The channel the last run followed.
    const std::string& Channel() const { return channel; }
    // The key list the last run started from, and each newer one it accepted.
    const KeyList& StartingKeyList() const { return trust.StartingKeyList(); }
    const std::vector<KeyList>& AcceptedKeyLists() const { return trust.AcceptedKeyLists(); }

    // The version comparison of the manifest rules (version_compare.h).
    static constexpr int versionAMalformed = ::versionAMalformed;
    static constexpr int versionBMalformed = ::versionBMalformed;
    static int CompareVersions(const std::string& a, const std::string& b);
    // Every byte is 0-9 (true for "").
    static bool IsDigits(const std::string& text);
    // Full path of the running program file.
    std::filesystem::path GetModulePath() const;
    // Puts temporary over destination atomically and durably, then deletes
    // temporary. false when the copy failed; the destination is then the old file.
    bool InstallFile(const std::filesystem::path& destination,
                     const std::filesystem::path& temporary);

    // Transfer operations (http_transfer.h), with this run's limits.
    bool IsConnected();
    std::unique_ptr<HttpRequest> OpenUrl(const std::string& url);
    // Streams the body into path, with progress to the owner; false without
    // an owner, and for anything HttpTransfer::DownloadToFile refuses, or a
    // body over the largest module a run accepts.
    bool DownloadToFile(HttpRequest& request, const std::filesystem::path& path);

private:
    // What every run and dry run does first: forgets the last run, then
    // finds the site's folder URL and that it can be reached. 0, or the code
    // to end with, the reason told.
    int StartRun(const std::string& siteUrl, std::string& baseUrl);
    // Where modules are installed and the catalogue lives.
    std::filesystem::path ProgramFolder() const;
    // Settles the run's channel (useProgramFolder: its stored choice counts)
    // and turns siteRoot into the channel's URL in baseUrl. 0, or 3 for a
    // name that is no channel's.
    int ChooseChannel(bool useProgramFolder, std::string& baseUrl);
    // Makes the run's temporary folder, fetches the manifest into it and
    // reads it; a signed one is checked whole. 0, or the code to end with.
    int ReadCheckedManifest(const std::string& baseUrl,
                            std::optional<PrivateTempFolder>& tempFolder, IniFile& manifest);
    // The manifest's bytes, read once.
    int FetchManifest(const std::string& baseUrl, const PrivateTempFolder& tempFolder,
                      std::string& bytes);
    // Whether this desktop installs the release now: a halted rollout stops
    // every run, a share below 100 % only scheduled runs outside it, said why.
    bool TakesItsTurn();
    // Tells in report what the rollout means for a file a dry run found.
    void RolloutNote(bool useProgramFolder, SiteFileReport& report);
    // Tells in report when a run would patch the installed version or go on
    // from kept bytes.
    void ResumeNote(const UpdateItem& item, SiteFileReport& report) const;
    // check_pass.cpp: fills pendingItems from the plans; the first failing
    // entry ends it.
    int CheckPass(IniFile& manifest, int count, CatalogRows& rows);
    // install_pass.cpp
    int InstallPass(const std::string& baseUrl, const std::filesystem::path& tempFolder,
                    CatalogRows& rows);
    // Fetches item into temporary and checks it against what the manifest
    // vouches for; 0, or the install pass's code with the reason told.
    int Fetch(const UpdateItem& item, const std::string& baseUrl,
              const std::filesystem::path& temporary);
    // The patch item offers from the file installed, when one is worth it
    // and within the memory patches may take.
    std::optional<PatchOffer> PatchFor(const UpdateItem& item,
                                       const std::filesystem::path& installed) const;
    // Makes temporary from installed and a patch item offers, checked whole
    // against the vouched-for hash; false (said why) means fetch the whole.
    bool FetchPatched(const UpdateItem& item, const std::string& baseUrl,
                      const std::filesystem::path& installed,
                      const std::filesystem::path& temporary);
    // Removes the kept bytes of files the manifest no longer has pending.
    void ForgetUnlistedPartials();
    // Fetches a vouched-for item into partial, going on from the bytes an
    // earlier run kept when the server still has that file; file is where
    // the checked whole lies. 0, or the install pass's code.
    int FetchResuming(const UpdateItem& item, const std::string& baseUrl,
                      const PartialDownloads& partial, std::filesystem::path& file);
    // The downloaded file has the size and SHA-256 the manifest gives, if any.
    bool MatchesManifest(const UpdateItem& item, const std::filesystem::path& file);

    CurlEasy internetHandle;
    std::vector<UpdateItem> pendingItems;
    Rollout rollout;
    long long releaseSerial = 0;
    std::string siteRoot;  // the site's folder URL: key lists live here
    std::string channel = "stable";
    CDetectorSet detectorSet;
    CRecognizerSet recognizerSet;
    CSysComSet systemSet;
    UpdateOwner* owner = nullptr;
    EngineEnvironment environment;
    std::string connectivityUrl;
    RunLog log;
    HttpTransfer transfer{internetHandle, environment.limits, log};
    RunTrust trust{transfer, log};
};
