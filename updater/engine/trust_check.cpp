// What a run trusts: the publisher keys of its program folder, and a signed
// manifest's signature, serial and expiry by the shared rules. Every doubt
// ends the run with 3 before anything is downloaded besides the manifest.
#include <ctime>

#include "catalog/update_state.h"
#include "engine/file_descriptor.h"
#include "engine/http_request.h"
#include "engine/update_engine.h"
#include "manifest/ini_file.h"
#include "trust/key_files.h"
#include "trust/manifest_stamp.h"

namespace {

constexpr const char* signatureName = "autoupdate.txt.sig";
constexpr uint64_t maxSignatureBytes = 4096;

}  // namespace

int UpdateEngine::LoadTrust(const SiteCheckOptions& options) {
    trustedKeys = options.extraKeys;
    storedSerial.reset();
    std::string error;
    if (!options.useProgramFolder) {
        const std::optional<std::vector<PublicKey>> builtIn =
            ReadBuiltInKey(TARVEX_UPDATE_PUBLIC_KEY, error);
        if (!builtIn) {
            Complain(error);
            return UpdateManifestFailed;
        }
        trustedKeys.insert(trustedKeys.end(), builtIn->begin(), builtIn->end());
        return UpdateSucceeded;
    }
    const std::optional<TrustedKeys> trusted =
        LoadTrustedKeys(ProgramFolder(), TARVEX_UPDATE_PUBLIC_KEY, error);
    if (!trusted) {
        Complain(error);
        return UpdateManifestFailed;
    }
    trustedKeys.insert(trustedKeys.end(), trusted->keys.begin(), trusted->keys.end());
    storedSerial = ReadAcceptedSerial(ProgramFolder());
    // Trust is never dropped without a word: a folder that took signed
    // updates takes nothing unsigned until its keys are back.
    if (trustedKeys.empty() && storedSerial) {
        Complain("this program folder has accepted signed updates (serial " +
                 std::to_string(*storedSerial) + ") but trusts no key now: put the publisher's " +
                 "public key back into " + UpdateKeysPath(ProgramFolder()).string());
        return UpdateManifestFailed;
    }
    return UpdateSucceeded;
}

int UpdateEngine::CheckSignedManifest(const std::string& baseUrl,
                                      const std::filesystem::path& tempFolder,
                                      const std::string& bytes, IniFile& manifest) {
    std::unique_ptr<HttpRequest> request = OpenUrl(baseUrl + signatureName);
    const std::filesystem::path signatureCopy = tempFolder / signatureName;
    const bool downloaded = request && DownloadToFile(*request, signatureCopy, maxSignatureBytes);
    request.reset();
    if (!downloaded) {
        Complain("the manifest's signature " + baseUrl + signatureName +
                 " cannot be fetched; this program folder accepts only signed updates");
        return UpdateManifestFailed;
    }
    const std::optional<std::string> signature = ReadWholeFile(signatureCopy);
    if (!signature || !VerifySignature(bytes, *signature, trustedKeys)) {
        Complain("the manifest is not signed by a key this program folder trusts (" +
                 Fingerprints(trustedKeys) + ")");
        return UpdateManifestFailed;
    }
    // A line the reader cuts is read otherwise than it was signed.
    if (const int line = FirstOverlongLine(bytes)) {
        Complain("line " + std::to_string(line) + " of the signed manifest is longer than " +
                 std::to_string(IniFile::maxLineBytes) +
                 " bytes and would be read otherwise than it was signed");
        return UpdateManifestFailed;
    }
    std::string error;
    const std::optional<ManifestStamp> stamp = ReadStamp(manifest, std::time(nullptr), error);
    if (!stamp) {
        Complain(error);
        return UpdateManifestFailed;
    }
    // A replayed older manifest would hold modules at old versions.
    if (storedSerial && stamp->serial < *storedSerial) {
        Complain("the manifest's serial " + std::to_string(stamp->serial) +
                 " is lower than the last accepted " + std::to_string(*storedSerial) +
                 ": an old manifest was replayed");
        return UpdateManifestFailed;
    }
    manifestSerial = stamp->serial;
    return UpdateSucceeded;
}

void UpdateEngine::StoreManifestSerial() {
    if (!manifestSerial || (storedSerial && *manifestSerial <= *storedSerial)) return;
    StoreAcceptedSerial(ProgramFolder(), *manifestSerial);
    storedSerial = manifestSerial;
}
