// What a run trusts: the folder's key list, the site's newer lists, and a
// signed manifest's signatures, key list, serial and expiry by the shared
// rules. Every doubt ends the run with 3 before any module is downloaded.
#include "engine/run_trust.h"

#include <ctime>

#include "catalog/update_state.h"
#include "engine/file_descriptor.h"
#include "engine/http_request.h"
#include "engine/http_transfer.h"
#include "engine/run_log.h"
#include "engine/update_result.h"
#include "manifest/ini_file.h"
#include "trust/key_chain.h"
#include "trust/key_files.h"
#include "trust/manifest_rules.h"
#include "trust/manifest_stamp.h"
#include "trust/update_site.h"

RunTrust::RunTrust(HttpTransfer& httpTransfer, RunLog& runLog)
    : transfer(httpTransfer), log(runLog) {}

int RunTrust::Load(const std::filesystem::path& programFolder, const SiteCheckOptions& options,
                   bool remember, const std::string& runChannel) {
    channel = runChannel;
    storedSerial.reset();
    manifestSerial.reset();
    accepted.clear();
    heldText.clear();
    rememberIn = remember ? programFolder : std::filesystem::path();
    std::vector<PublicKey> pinned = options.extraKeys;
    std::string error;
    if (!options.useProgramFolder) {
        const std::optional<std::vector<PublicKey>> builtIn =
            ReadBuiltInKey(TARVEX_UPDATE_PUBLIC_KEY, error);
        if (!builtIn) {
            log.Complain(error);
            return UpdateManifestFailed;
        }
        pinned.insert(pinned.end(), builtIn->begin(), builtIn->end());
        start = held = PinnedKeyList(pinned);
        return UpdateSucceeded;
    }
    const std::optional<TrustedKeys> trusted =
        LoadTrustedKeys(programFolder, TARVEX_UPDATE_PUBLIC_KEY, error);
    if (!trusted) {
        log.Complain(error);
        return UpdateManifestFailed;
    }
    pinned.insert(pinned.end(), trusted->keys.begin(), trusted->keys.end());
    held = trusted->list ? *trusted->list : PinnedKeyList(pinned);
    // The newest list the folder accepted holds, unless the pinned one is newer.
    if (const std::optional<std::string> stored = ReadAcceptedKeyList(programFolder)) {
        const std::optional<KeyList> list =
            ParseKeyList(*stored, "the catalogue's key list", error);
        if (!list) {
            log.Complain(error + ": the catalogue " + programFolder.string() +
                         "/data/module.dat is damaged; restore it from a backup");
            return UpdateManifestFailed;
        }
        if (list->version >= held.version) {
            held = *list;
            heldText = *stored;
        }
    }
    start = held;
    storedSerial = ReadAcceptedSerial(programFolder, channel);
    // Trust is never dropped without a word: a folder that took signed
    // updates takes nothing unsigned until its keys are back.
    if (!SignedSite() && storedSerial) {
        log.Complain("this program folder has accepted signed updates (serial " +
                     std::to_string(*storedSerial) +
                     ") but trusts no key now: put the publisher's " + "public key back into " +
                     UpdateKeysPath(programFolder).string());
        return UpdateManifestFailed;
    }
    return UpdateSucceeded;
}

std::optional<std::string> RunTrust::FetchSmall(const std::string& url,
                                                const std::filesystem::path& file,
                                                uint64_t maxBytes, UpdateOwner& owner,
                                                bool* absent) {
    std::unique_ptr<HttpRequest> request = transfer.OpenUrl(url, absent);
    const bool downloaded = request && transfer.DownloadToFile(*request, file, maxBytes, owner);
    request.reset();
    if (!downloaded) return std::nullopt;
    std::optional<std::string> text = ReadWholeFile(file);
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    if (!text) log.Complain("cannot read the downloaded " + file.string());
    return text;
}

int RunTrust::WalkKeyLists(const std::string& baseUrl, const std::filesystem::path& tempFolder,
                           UpdateOwner& owner) {
    const long long first = held.version;
    for (int step = 0;; ++step) {
        const std::string name = "keys/" + std::to_string(held.version + 1) + ".txt";
        bool absent = false;
        const std::optional<std::string> bytes = FetchSmall(
            baseUrl + name, tempFolder / "keylist", key_list_limits::maxBytes, owner, &absent);
        if (absent) break;
        if (!bytes) return UpdateManifestFailed;
        if (step == maxSteps) {
            log.Complain("the site offers more than " + std::to_string(maxSteps) +
                         " new key lists after key list " + std::to_string(first) +
                         " in one run; no desktop follows a chain without end");
            return UpdateManifestFailed;
        }
        const std::optional<std::string> signatures =
            FetchSmall(baseUrl + name + ".sig", tempFolder / "keylist.sig",
                       signature_file_limits::maxBytes, owner, nullptr);
        if (!signatures) {
            log.Complain("the signatures of " + baseUrl + name + " cannot be fetched");
            return UpdateManifestFailed;
        }
        KeyList next;
        const std::string problem = CheckNextKeyList(held, *bytes, *signatures, name, next);
        if (!problem.empty()) {
            log.Complain(problem);
            return UpdateManifestFailed;
        }
        held = next;
        heldText = *bytes;
        accepted.push_back(next);
    }
    // A list frozen in time would hide every later change of keys.
    if (HasExpired(held, std::time(nullptr))) {
        log.Complain("key list " + std::to_string(held.version) +
                     ", the newest the site offers, expired at " + FormatExpiry(*held.expires) +
                     ": the publisher must publish a newer one (tarvex-cli keys renew)");
        return UpdateManifestFailed;
    }
    // Kept at once: a revoked key stays revoked even when the rest of the run fails.
    if (held.version != first && !rememberIn.empty()) StoreAcceptedKeyList(rememberIn, heldText);
    return UpdateSucceeded;
}

int RunTrust::CheckSignedManifest(const std::string& baseUrl,
                                  const std::filesystem::path& tempFolder, const std::string& bytes,
                                  IniFile& manifest, UpdateOwner& owner) {
    const std::optional<std::string> signatures =
        FetchSmall(baseUrl + update_site::signatureName, tempFolder / update_site::signatureName,
                   signature_file_limits::maxBytes, owner, nullptr);
    if (!signatures) {
        log.Complain("the manifest's signature " + baseUrl + update_site::signatureName +
                     " cannot be fetched; this program folder accepts only signed updates");
        return UpdateManifestFailed;
    }
    // The list a manifest was signed under must be the one held: an older
    // manifest served beside a newer list is a mix of two releases.
    const std::string namedList = manifest.GetValue("Main", "keys");
    if (held.version > 0 || !namedList.empty()) {
        const std::string holds =
            "this program folder holds key list " + std::to_string(held.version);
        const std::optional<long long> named = ParseSerial(namedList);
        std::string problem;
        if (!named)
            problem = "the manifest names no key list ([Main] keys=), but " + holds +
                      ": the publisher must publish it again";
        else if (*named < held.version)
            problem = "the manifest was signed under key list " + namedList + ", but " + holds +
                      ": an old manifest was served with a newer key list";
        else if (*named > held.version)
            problem = "the manifest names key list " + namedList +
                      ", which the site does not offer (" + holds + ")";
        if (!problem.empty()) {
            log.Complain(problem);
            return UpdateManifestFailed;
        }
    }
    if (const std::string problem = CheckReleaseSignatures(held, bytes, *signatures);
        !problem.empty()) {
        log.Complain(problem);
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
    StoreAcceptedSerial(programFolder, *manifestSerial, channel);
    storedSerial = manifestSerial;
}
