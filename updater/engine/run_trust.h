// What a run trusts: the publisher keys of its program folder (or those a
// dry run is given), the serial the folder accepted last, and for a signed
// manifest its signature, lines, serial and expiry by the shared rules.
// Every doubt ends the run with 3 before anything besides the manifest is
// downloaded.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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

    // The keys of programFolder and options, and the folder's accepted
    // serial. 0, or the code to end with, the reason told.
    int Load(const std::filesystem::path& programFolder, const SiteCheckOptions& options);
    // Whether manifests must be signed: some key is trusted. (None: unsigned
    // manifests, as designed.)
    bool SignedSite() const { return !keys.empty(); }
    // Fetches the signature of the manifest's bytes into tempFolder and
    // checks it, the lines, the stamp and that the serial does not go back;
    // notes the serial. 0, or the code to end with, the reason told.
    int CheckSignedManifest(const std::string& baseUrl, const std::filesystem::path& tempFolder,
                            const std::string& bytes, IniFile& manifest, UpdateOwner& owner);
    // Stores the noted serial when it is above the accepted one.
    void StoreManifestSerial(const std::filesystem::path& programFolder);

private:
    HttpTransfer& transfer;
    RunLog& log;
    std::vector<PublicKey> keys;
    std::optional<long long> storedSerial;
    std::optional<long long> manifestSerial;
};
