// What a run trusts: the publisher keys of its program folder, and a signed
// manifest's signature, serial and expiry by the shared rules. Every doubt
// ends the run with 3 before anything is downloaded besides the manifest.
#include "engine/run_trust.h"

#include <ctime>

#include "catalog/update_state.h"
#include "engine/file_descriptor.h"
#include "engine/http_request.h"
#include "engine/http_transfer.h"
#include "engine/run_log.h"
#include "engine/update_result.h"
#include "manifest/ini_file.h"
#include "trust/key_files.h"
#include "trust/manifest_rules.h"
#include "trust/manifest_stamp.h"
#include "trust/update_site.h"

namespace {

constexpr uint64_t maxSignatureBytes = 4096;

}  // namespace

RunTrust::RunTrust(HttpTransfer& httpTransfer, RunLog& runLog)
    : transfer(httpTransfer), log(runLog) {}

int RunTrust::Load(const std::filesystem::path& programFolder, const SiteCheckOptions& options) {
    keys = options.extraKeys;
    storedSerial.reset();
    manifestSerial.reset();
    std::string error;
    if (!options.useProgramFolder) {
        const std::optional<std::vector<PublicKey>> builtIn =
            ReadBuiltInKey(TARVEX_UPDATE_PUBLIC_KEY, error);
        if (!builtIn) {
            log.Complain(error);
            return UpdateManifestFailed;
        }
        keys.insert(keys.end(), builtIn->begin(), builtIn->end());
        return UpdateSucceeded;
    }
    const std::optional<TrustedKeys> trusted =
        LoadTrustedKeys(programFolder, TARVEX_UPDATE_PUBLIC_KEY, error);
    if (!trusted) {
        log.Complain(error);
        return UpdateManifestFailed;
    }
    keys.insert(keys.end(), trusted->keys.begin(), trusted->keys.end());
    storedSerial = ReadAcceptedSerial(programFolder);
    // Trust is never dropped without a word: a folder that took signed
    // updates takes nothing unsigned until its keys are back.
    if (keys.empty() && storedSerial) {
        log.Complain("this program folder has accepted signed updates (serial " +
                     std::to_string(*storedSerial) +
                     ") but trusts no key now: put the publisher's " + "public key back into " +
                     UpdateKeysPath(programFolder).string());
        return UpdateManifestFailed;
    }
    return UpdateSucceeded;
}

int RunTrust::CheckSignedManifest(const std::string& baseUrl,
                                  const std::filesystem::path& tempFolder, const std::string& bytes,
                                  IniFile& manifest, UpdateOwner& owner) {
    std::unique_ptr<HttpRequest> request = transfer.OpenUrl(baseUrl + update_site::signatureName);
    const std::filesystem::path signatureCopy = tempFolder / update_site::signatureName;
    const bool downloaded =
        request && transfer.DownloadToFile(*request, signatureCopy, maxSignatureBytes, owner);
    request.reset();
    if (!downloaded) {
        log.Complain("the manifest's signature " + baseUrl + update_site::signatureName +
                     " cannot be fetched; this program folder accepts only signed updates");
        return UpdateManifestFailed;
    }
    const std::optional<std::string> signature = ReadWholeFile(signatureCopy);
    if (!signature || !VerifySignature(bytes, *signature, keys)) {
        log.Complain("the manifest is not signed by a key this program folder trusts (" +
                     Fingerprints(keys) + ")");
        return UpdateManifestFailed;
    }
    // A line the reader cuts is read otherwise than it was signed.
    if (const int line = FirstOverlongLine(bytes)) {
        log.Complain("line " + std::to_string(line) + " of the signed manifest is longer than " +
                     std::to_string(IniFile::maxLineBytes) +
                     " bytes and would be read otherwise than it was signed");
        return UpdateManifestFailed;
    }
    std::string error;
    const std::optional<ManifestStamp> stamp = ReadStamp(manifest, std::time(nullptr), error);
    if (!stamp) {
        log.Complain(error);
        return UpdateManifestFailed;
    }
    // A replayed older manifest would hold modules at old versions.
    if (storedSerial && stamp->serial < *storedSerial) {
        log.Complain("the manifest's serial " + std::to_string(stamp->serial) +
                     " is lower than the last accepted " + std::to_string(*storedSerial) +
                     ": an old manifest was replayed");
        return UpdateManifestFailed;
    }
    manifestSerial = stamp->serial;
    return UpdateSucceeded;
}

void RunTrust::StoreManifestSerial(const std::filesystem::path& programFolder) {
    if (!manifestSerial || (storedSerial && *manifestSerial <= *storedSerial)) return;
    StoreAcceptedSerial(programFolder, *manifestSerial);
    storedSerial = manifestSerial;
}
