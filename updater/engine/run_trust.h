// What a run trusts: the key list of its program folder (the newest one the
// catalogue holds, or the keys data/update-keys pins, or those a dry run is
// given), the newer lists the site offers walked one version at a time, the
// serial the folder accepted last, and for a signed manifest its release
// signatures, key list, lines, serial and expiry by the shared rules. Every
// doubt ends the run with 3 before anything besides the manifest and the key
// lists is downloaded.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "trust/key_list.h"
#include "trust/signature.h"

class HttpTransfer;
class IniFile;
class RunLog;
class UpdateOwner;

// How a dry run is trusted: a program folder's keys and catalogue, and
// further publisher keys.
struct SiteCheckOptions {
    bool useProgramFolder = true;
    std::vector<PublicKey> extraKeys;
};

class RunTrust {
public:
    RunTrust(HttpTransfer& transfer, RunLog& log);

    // The key list of programFolder and options, and the folder's accepted
    // serial; remember: newer key lists are stored in the catalogue (a real
    // run; a dry run changes nothing). 0, or the code to end with, the reason
    // told.
    // The serial is the channel's own.
    int Load(const std::filesystem::path& programFolder, const SiteCheckOptions& options,
             bool remember, const std::string& channel);
    // Whether manifests must be signed: some key is trusted. (None: unsigned
    // manifests, as designed.)
    bool SignedSite() const { return !held.releases.empty(); }
    // Fetches keys/<version>.txt and its signatures for each version after
    // the one held, until the site has no next one, and moves to each that
    // the rules accept; refuses a gap, a version that falls, too few
    // signatures, more than maxSteps lists or a newest list past its
    // expiry. 0, or the code to end with, the reason told.
    int WalkKeyLists(const std::string& baseUrl, const std::filesystem::path& tempFolder,
                     UpdateOwner& owner);
    // Fetches the signature of the manifest's bytes into tempFolder and
    // checks it, the key list the manifest names, the lines, the stamp and
    // that the serial does not go back; notes the serial. 0, or the code to
    // end with, the reason told.
    int CheckSignedManifest(const std::string& baseUrl, const std::filesystem::path& tempFolder,
                            const std::string& bytes, IniFile& manifest, UpdateOwner& owner);
    // Stores the noted serial when it is above the accepted one.
    void StoreManifestSerial(const std::filesystem::path& programFolder);

    // The list the run started from, and each newer one it accepted, in order.
    const KeyList& StartingKeyList() const { return start; }
    const std::vector<KeyList>& AcceptedKeyLists() const { return accepted; }

    // New key lists one run walks at most: a site offering more is refused
    // rather than followed without end.
    static constexpr int maxSteps = 64;

private:
    // Downloads url into file, at most maxBytes; its text, or nothing when
    // it is absent (a 404, absent set) or fails (told).
    std::optional<std::string> FetchSmall(const std::string& url, const std::filesystem::path& file,
                                          uint64_t maxBytes, UpdateOwner& owner, bool* absent);

    HttpTransfer& transfer;
    RunLog& log;
    std::filesystem::path rememberIn;  // empty: a dry run
    std::string channel;
    KeyList held;
    std::string heldText;  // as fetched, for the catalogue
    KeyList start;
    std::vector<KeyList> accepted;
    std::optional<long long> storedSerial;
    std::optional<long long> manifestSerial;
};
