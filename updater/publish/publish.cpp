// keygen and publish: new key files, and a manifest filled in, checked as a client reads it, and
// signed.
#include "publish/publish.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "engine/file_descriptor.h"
#include "engine/replace_in_place.h"
#include "manifest/ini_file.h"
#include "publish/manifest_edit.h"
#include "publish/patch_offers.h"
#include "publish/site_keys.h"
#include "trust/file_text.h"
#include "trust/key_chain.h"
#include "trust/key_files.h"
#include "trust/manifest_rules.h"
#include "trust/manifest_stamp.h"
#include "trust/module_path.h"
#include "trust/rollout.h"
#include "trust/signature.h"
#include "trust/update_site.h"

namespace {

// The last serial publish wrote for the site, kept beside its manifest: the
// next one must rise above it whatever the manifest file says, or desktops
// that accepted it would refuse the release as a replay.
constexpr const char* lastSerialName = "autoupdate.txt.last-serial";

bool Exists(const std::filesystem::path& file) {
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0;
}

// The key of a file section an entry fault is about.
const char* FaultKey(EntryFault fault) {
    switch (fault) {
        case EntryFault::ModuleType:
            return "moduletype";
        case EntryFault::FileName:
            return "filename";
        case EntryFault::Version:
            return "version";
        case EntryFault::Size:
            return "size";
        case EntryFault::Sha256:
            return "sha256";
        case EntryFault::Downgrade:
        case EntryFault::UnsignedDowngrade:
            return "downgrade";
        case EntryFault::Patch:
            return "patch1";
        case EntryFault::NotVouched:
        case EntryFault::None:
            break;
    }
    return "";
}

// The last serial published for the site: 0 when none was recorded yet,
// nothing (problem set) when the record cannot be trusted.
std::optional<long long> LastPublishedSerial(const std::filesystem::path& file,
                                             std::string& problem) {
    if (!Exists(file)) return 0;
    const std::optional<std::string> text = ReadRegularFile(file, problem);
    if (!text) return std::nullopt;
    std::string digits = *text;
    while (!digits.empty() && (digits.back() == '\n' || digits.back() == '\r')) digits.pop_back();
    const std::optional<long long> serial = ParseSerial(digits);
    if (!serial) problem = "does not hold a serial";
    return serial;
}

// A listed file as the site holds it.
struct SiteFile {
    std::string size;
    std::string sha256;
};

// Reads the rules a client applies back from the manifest publish is about to
// sign: whatever publish meant must be what a client reads. Empty when it is.
std::string ClientReadingProblem(const std::string& manifest, long long serial, std::time_t now,
                                 const std::map<std::string, SiteFile>& files) {
    if (const int line = FirstOverlongLine(manifest))
        return "line " + std::to_string(line) + " is longer than " +
               std::to_string(IniFile::maxLineBytes) + " bytes; clients cut it there";
    IniFile reread("");
    reread.LoadText(manifest);
    std::string problem;
    const std::optional<ManifestStamp> stamp = ReadStamp(reread, now, problem);
    if (!stamp) return problem;
    if (!ReadRollout(reread, problem)) return problem;
    if (stamp->serial != serial)
        return "[Main] serial does not read back as " + std::to_string(serial);
    const int count = reread.GetValueInt("Main", "filecount");
    if (count != static_cast<int>(files.size()))
        return "[Main] filecount does not read back as " + std::to_string(files.size());
    for (int i = 1; i <= count; ++i) {
        const ManifestEntry entry = ReadEntry(reread, i);
        const EntryVerdict verdict = CheckEntry(entry, true);
        if (verdict.fault != EntryFault::None) return verdict.reason;
        const SiteFile& file = files.at(entry.section);
        if (entry.size != file.size || entry.sha256 != file.sha256)
            return "[" + entry.section + "] size and sha256 do not read back as written";
    }
    return {};
}

// Why keys cannot sign a release under list (empty when they can): a key no
// desktop would count, or a list desktops refuse as expired.
std::string SignerProblem(const KeyList& list, const std::vector<SecretKey>& keys,
                          std::time_t now) {
    if (HasExpired(list, now))
        return "key list " + std::to_string(list.version) + " expired at " +
               FormatExpiry(*list.expires) +
               " and desktops refuse the site: publish a newer one first (tarvex-cli keys renew)";
    if (list.version == 0) return {};
    for (const SecretKey& secret : keys) {
        const PublicKey key = PublicHalf(secret);
        if (std::find(list.releases.begin(), list.releases.end(), key) == list.releases.end())
            return "key " + Fingerprint(key) + " is no release key of key list " +
                   std::to_string(list.version) + " (release keys: " + Fingerprints(list.releases) +
                   "); its signature would count for nothing";
    }
    return {};
}

// Who signed the manifest ("signed with key …", or "key list 3, signed by 1
// of the 2 release keys it needs (…)"), and below the threshold a line
// saying who must still sign.
// Without a key list, the signers are looked for among signingKeys.
std::string SignatureReport(const std::filesystem::path& site, const KeyList& list,
                            const std::string& manifest, const std::string& signatures,
                            const std::vector<PublicKey>& signingKeys) {
    std::string ignored;
    const std::optional<std::vector<SignatureLine>> lines =
        ParseSignatureFile(signatures, "", ignored);
    const std::vector<PublicKey> signers =
        lines ? SignersAmong(manifest, *lines, list.version == 0 ? signingKeys : list.releases)
              : std::vector<PublicKey>{};
    if (list.version == 0)
        return std::string(signers.size() == 1 ? "signed with key " : "signed with keys ") +
               Fingerprints(signers) + "\n";
    std::string report = "key list " + std::to_string(list.version) + ", signed by " +
                         std::to_string(signers.size()) + " of the " +
                         std::to_string(list.releaseThreshold) + " release keys it needs (" +
                         Fingerprints(signers) + ")\n";
    if (signers.size() < static_cast<size_t>(list.releaseThreshold))
        report += "desktops refuse it until " +
                  std::to_string(static_cast<size_t>(list.releaseThreshold) - signers.size()) +
                  " more sign: each runs tarvex-cli sign " + site.string() + " --key KEYFILE\n";
    return report;
}

// The secret keys that sign, in the order given, and the key files they came
// from; nothing (error set) when one cannot be read.
struct Signers {
    std::vector<std::filesystem::path> files;
    std::vector<SecretKey> keys;
};
std::optional<Signers> ReadSigners(const PublishOptions& options, std::string& error) {
    Signers signers;
    signers.files.push_back(options.keyFile);
    signers.files.insert(signers.files.end(), options.otherKeyFiles.begin(),
                         options.otherKeyFiles.end());
    for (const std::filesystem::path& keyFile : signers.files) {
        const std::optional<SecretKey> secretKey = ReadSecretKeyFile(keyFile, error);
        if (!secretKey) return std::nullopt;
        signers.keys.push_back(*secretKey);
    }
    return signers;
}

// The manifest publish fills in, as read, and how it refuses it: every
// refusal names the file (and the line, when there is one) and ends in
// "nothing was signed".
struct Draft {
    std::filesystem::path file;
    std::string text;
    IniFile read{""};

    bool Refuse(const std::string& why, std::string& error) const {
        error = file.string() + ": " + why + "; nothing was signed";
        return false;
    }
    // FILE:LINE: where the reader takes section's name from, when it is there.
    bool RefuseAt(const std::string& section, const std::string& name, const std::string& why,
                  std::string& error) const {
        const int line = LineOf(text, section, name);
        error = file.string() + (line > 0 ? ":" + std::to_string(line) : "") + ": " + why +
                "; nothing was signed";
        return false;
    }
};

// Reads the manifest and checks what every later step relies on: its size
// and lines as a client reads them, [Main], a plain filecount and no file
// section beyond it.
bool ReadDraft(const std::filesystem::path& file, Draft& draft, std::string& error) {
    draft.file = file;
    std::string problem;
    std::optional<std::string> text = ReadRegularFile(file, problem);
    if (!text) return draft.Refuse(problem, error);
    draft.text = std::move(*text);
    if (draft.text.size() > update_site::maxManifestBytes)
        return draft.Refuse(
            "is over " + std::to_string(update_site::maxManifestBytes >> 20) + " MiB", error);
    if (const int line = FirstOverlongLine(draft.text))
        return draft.Refuse("line " + std::to_string(line) + " is longer than " +
                                std::to_string(IniFile::maxLineBytes) +
                                " bytes, where clients cut it and would read another manifest",
                            error);
    draft.read.LoadText(draft.text);
    if (draft.read.FindSection("Main") < 0) return draft.Refuse("has no [Main] section", error);
    const std::string countText = draft.read.GetValue("Main", "filecount");
    if (!countText.empty() && !AllDigits(countText))
        return draft.RefuseAt("Main", "filecount",
                              "[Main] filecount \"" + countText + "\" is not a plain number",
                              error);
    const int count = draft.read.GetValueInt("Main", "filecount");
    for (const std::string& section : UnreadFileSections(draft.read, count))
        return draft.Refuse("[" + section + "] is not among File1 to File" + std::to_string(count) +
                                " (filecount=" + std::to_string(count) +
                                "): clients would never read it; raise filecount or remove it",
                            error);
    return true;
}

// What publish writes into the manifest: per section the settings, the
// names whose earlier lines go, and each listed file as the site holds it.
struct Filling {
    Settings settings;
    std::map<std::string, std::set<std::string>> dropped;
    std::map<std::string, SiteFile> files;
};

// Each listed file's size and SHA-256 from the site, and its patches from
// the previous releases; false (error set) on an entry a client would refuse
// or a file that cannot be read.
bool FillFiles(Draft& draft, const std::filesystem::path& folder, int count,
               const std::vector<std::filesystem::path>& previous, Filling& filling,
               std::ostream& out, std::string& error) {
    for (int i = 1; i <= count; ++i) {
        const ManifestEntry entry = ReadEntry(draft.read, i);
        const EntryVerdict verdict = CheckEntry(entry, false);
        // Size and hash are publish's to write; everything else is the author's.
        if (verdict.fault != EntryFault::None && verdict.fault != EntryFault::Size &&
            verdict.fault != EntryFault::Sha256 && verdict.fault != EntryFault::UnsignedDowngrade)
            return draft.RefuseAt(entry.section, FaultKey(verdict.fault), verdict.reason, error);
        const std::filesystem::path file = folder / *ModuleRelativePath(entry.filename);
        // Hashed as it streams by: modules may be far larger than memory allows.
        const std::string unreadable = RegularFileProblem(file);
        const std::optional<std::string> sha256 =
            unreadable.empty() ? Sha256OfFile(file) : std::nullopt;
        if (!sha256)
            return draft.RefuseAt(entry.section, "filename",
                                  "[" + entry.section + "] filename=" + entry.filename + ": " +
                                      file.string() + " " +
                                      (unreadable.empty() ? "cannot be read" : unreadable),
                                  error);
        SiteFile& site = filling.files[entry.section];
        site = {std::to_string(std::filesystem::file_size(file)), *sha256};
        filling.settings[entry.section] = {{"size", site.size}, {"sha256", site.sha256}};
        // Offers of an earlier publish go; this one's are made afresh.
        for (int k = 1; k <= maxPatchOffers; ++k)
            for (const char* suffix : {"", "-from", "-size", "-sha256"})
                filling.dropped[entry.section].insert("patch" + std::to_string(k) + suffix);
        if (!AddPatchOffers(folder, entry, file, *sha256, previous, filling.settings[entry.section],
                            out, error))
            return false;
    }
    return true;
}

// The serial to publish: past the manifest's own serial and every serial
// published here before, however the manifest was written (desktops took
// the highest of those); --serial when it is. Nothing (error set) otherwise.
std::optional<long long> NextSerial(Draft& draft, const std::filesystem::path& lastSerialFile,
                                    const PublishOptions& options, std::time_t now,
                                    std::string& error) {
    const std::string serialText = draft.read.GetValue("Main", "serial");
    const std::optional<long long> oldSerial =
        serialText.empty() ? std::optional<long long>(0) : ParseSerial(serialText);
    if (!oldSerial) {
        draft.RefuseAt("Main", "serial",
                       "[Main] serial \"" + serialText +
                           "\" is not a number of 1 to 18 digits; correct it or remove the line",
                       error);
        return std::nullopt;
    }
    std::string problem;
    const std::optional<long long> lastPublished = LastPublishedSerial(lastSerialFile, problem);
    if (!lastPublished) {
        error = lastSerialFile.string() + " " + problem +
                "; it records the last serial published for this site: restore it from a "
                "backup, or remove it and give --serial above the last serial published; "
                "nothing was signed";
        return std::nullopt;
    }
    const long long floor = std::max(*oldSerial, *lastPublished);
    long long serial = std::max(floor + 1, static_cast<long long>(now));
    if (options.serial) {
        if (*options.serial <= floor) {
            draft.Refuse("--serial " + std::to_string(*options.serial) + " is not above " +
                             (*lastPublished > *oldSerial
                                  ? "the serial " + std::to_string(*lastPublished) +
                                        " published last for this site (" + lastSerialName + ")"
                                  : "the manifest's serial " + std::to_string(*oldSerial)) +
                             ": clients that accepted it would refuse the new one as a replay",
                         error);
            return std::nullopt;
        }
        serial = *options.serial;
    }
    if (serial > maxSerial) {
        draft.Refuse("the next serial would pass " + std::to_string(maxSerial) +
                         ", the largest a client accepts",
                     error);
        return std::nullopt;
    }
    return serial;
}

// The signature file's text: one line a key, each checked against its key;
// a single key without a key list writes the bare line desktops of every
// release read. Nothing (error set) when a key's signatures do not verify.
std::optional<std::string> SignatureLines(const std::string& signedText, const Signers& signers,
                                          const KeyList& list, std::vector<PublicKey>& publicKeys,
                                          std::string& error) {
    std::string signatures;
    for (size_t i = 0; i < signers.keys.size(); ++i) {
        const std::string signature = Sign(signedText, signers.keys[i]);
        const PublicKey publicKey = publicKeys.emplace_back(PublicHalf(signers.keys[i]));
        if (!VerifySignature(signedText, signature, {publicKey})) {
            error = signers.files[i].string() + " is damaged: its signatures do not verify";
            return std::nullopt;
        }
        signatures += list.version == 0 && signers.keys.size() == 1
                          ? signature + "\n"
                          : FormatSignatureLine(publicKey, signature);
    }
    return signatures;
}

}  // namespace

bool GenerateKeyPair(const std::filesystem::path& keyFile, std::ostream& out, std::string& error) {
    const std::filesystem::path publicFile = keyFile.string() + ".pub";
    for (const std::filesystem::path& file : {keyFile, publicFile}) {
        if (Exists(file)) {
            error = file.string() +
                    " already exists; keygen never replaces a key: choose another "
                    "name, or move the old files away first";
            return false;
        }
    }
    const auto [publicKey, secretKey] = NewKeyPair();
    const std::string secretText = ToBase64(secretKey.data(), secretKey.size()) + "\n";
    const std::string publicText = ToBase64(publicKey.data(), publicKey.size());
    FileDescriptor secret = CreateNewFileNoFollow(keyFile, 0600);
    FileDescriptor open =
        secret.IsOpen() ? CreateNewFileNoFollow(publicFile, 0644) : FileDescriptor();
    const std::string publicLine = publicText + "\n";
    const bool written = secret.IsOpen() && open.IsOpen() &&
                         secret.WriteAll(secretText.data(), secretText.size()) && secret.Close() &&
                         open.WriteAll(publicLine.data(), publicLine.size()) && open.Close();
    if (!written) {
        ::unlink(keyFile.c_str());
        ::unlink(publicFile.c_str());
        error = "cannot write " + keyFile.string() + " and " + publicFile.string();
        return false;
    }
    out << publicText << "\n"
        << "key " << Fingerprint(publicKey) << ": secret key in " << keyFile.string()
        << ", public key in " << publicFile.string()
        << "; append the .pub file's line to a program folder's data/update-keys to trust it\n";
    return true;
}

bool PublishSite(const PublishOptions& options, std::ostream& out, std::string& error) {
    const std::time_t now = options.now != 0 ? options.now : std::time(nullptr);
    const std::optional<Signers> signers = ReadSigners(options, error);
    if (!signers) return false;
    const std::optional<SiteKeys> siteKeys = ReadSiteKeys(options.site, error);
    if (!siteKeys) return false;
    const KeyList& list = siteKeys->newest;
    if (const std::string problem = SignerProblem(list, signers->keys, now); !problem.empty()) {
        error = problem + "; nothing was signed";
        return false;
    }

    // The channel's folder holds its manifest, files and serial record.
    const std::filesystem::path folder = options.site / update_site::ChannelFolder(options.channel);
    Draft draft;
    if (!ReadDraft(folder / update_site::manifestName, draft, error)) return false;
    const int count = draft.read.GetValueInt("Main", "filecount");
    Filling filling;
    if (!FillFiles(draft, folder, count, options.previous, filling, out, error)) return false;
    const std::filesystem::path lastSerialFile = folder / lastSerialName;
    const std::optional<long long> serial = NextSerial(draft, lastSerialFile, options, now, error);
    if (!serial) return false;
    auto& main = filling.settings["Main"];
    main = {{"serial", std::to_string(*serial)}};
    if (list.version > 0) main.push_back({"keys", std::to_string(list.version)});
    if (options.validFor) {
        main.push_back({"expires", FormatExpiry(now + options.validFor->count())});
    } else if (std::string stampProblem; !ReadStamp(draft.read, now, stampProblem)) {
        // The expiry the author wrote stays; a client would refuse it.
        return draft.RefuseAt("Main", "expires", stampProblem, error);
    }

    const std::string signedText = Rewrite(draft.text, filling.settings, filling.dropped);
    if (const std::string misread = ClientReadingProblem(signedText, *serial, now, filling.files);
        !misread.empty())
        return draft.Refuse(misread, error);
    std::vector<PublicKey> publicKeys;
    const std::optional<std::string> signatures =
        SignatureLines(signedText, *signers, list, publicKeys, error);
    if (!signatures) return false;
    // The serial is recorded first: whatever fails after, the next publish
    // still rises above what desktops may have seen.
    if (!ReplaceInPlace(lastSerialFile, 0644, std::to_string(*serial) + "\n") ||
        !ReplaceInPlace(draft.file, 0644, signedText) ||
        !ReplaceInPlace(folder / update_site::signatureName, 0644, *signatures)) {
        error = "cannot write the manifest, its signature or " + std::string(lastSerialName) +
                " in " + folder.string();
        return false;
    }
    IniFile published("");
    published.LoadText(signedText);
    const std::string expires = published.GetValue("Main", "expires");
    out << "published " << draft.file.string() << ": serial " << *serial << ", " << count
        << (count == 1 ? " file" : " files") << (expires.empty() ? "" : ", expires " + expires)
        << ", " << SignatureReport(options.site, list, signedText, *signatures, publicKeys);
    return true;
}

bool SignManifest(const std::filesystem::path& site, const std::filesystem::path& keyFile,
                  const std::string& channel, std::ostream& out, std::string& error) {
    const std::optional<SecretKey> secret = ReadSecretKeyFile(keyFile, error);
    const std::optional<SiteKeys> siteKeys = secret ? ReadSiteKeys(site, error) : std::nullopt;
    if (!siteKeys) return false;
    const KeyList& list = siteKeys->newest;
    if (const std::string problem = SignerProblem(list, {*secret}, std::time(nullptr));
        !problem.empty()) {
        error = problem + "; nothing was signed";
        return false;
    }
    const std::filesystem::path folder = site / update_site::ChannelFolder(channel);
    const std::filesystem::path manifestFile = folder / update_site::manifestName;
    const std::filesystem::path signatureFile = folder / update_site::signatureName;
    std::string problem;
    const std::optional<std::string> manifest = ReadRegularFile(manifestFile, problem);
    const std::optional<std::string> signatures =
        manifest ? ReadRegularFile(signatureFile, problem) : std::nullopt;
    if (!signatures) {
        error = (manifest ? signatureFile : manifestFile).string() + " " + problem +
                ": publish the site first (tarvex-cli publish)";
        return false;
    }
    IniFile reader("");
    reader.LoadText(*manifest);
    const std::string named = reader.GetValue("Main", "keys");
    if (list.version > 0 && named != std::to_string(list.version)) {
        error = manifestFile.string() + " names key list \"" + named + "\", not the newest " +
                std::to_string(list.version) + ": publish it again; nothing was signed";
        return false;
    }
    const std::optional<std::vector<SignatureLine>> lines =
        ParseSignatureFile(*signatures, signatureFile.string(), error);
    if (!lines) return false;
    const PublicKey key = PublicHalf(*secret);
    if (!SignersAmong(*manifest, *lines, {key}).empty()) {
        error = "key " + Fingerprint(key) + " has signed " + manifestFile.string() + " already";
        return false;
    }
    std::string all = *signatures;
    if (!all.empty() && all.back() != '\n') all += "\n";
    all += FormatSignatureLine(key, Sign(*manifest, *secret));
    if (!ReplaceInPlace(signatureFile, 0644, all)) {
        error = "cannot write " + signatureFile.string();
        return false;
    }
    out << "signed " << manifestFile.string() << " with key " << Fingerprint(key) << ": "
        << SignatureReport(site, list, *manifest, all, {key});
    return true;
}

std::optional<std::chrono::seconds> ParseDuration(std::string_view text) {
    static const std::map<char, long long> unitSeconds{
        {'s', 1}, {'m', 60}, {'h', 3600}, {'d', 86400}, {'w', 604800}};
    constexpr size_t maxDigits = 9;
    if (text.size() < 2 || text.size() > maxDigits + 1) return std::nullopt;
    const auto unit = unitSeconds.find(text.back());
    const std::string_view number = text.substr(0, text.size() - 1);
    if (unit == unitSeconds.end() || !AllDigits(number)) return std::nullopt;
    const long long count = std::stoll(std::string(number));
    if (count == 0) return std::nullopt;
    return std::chrono::seconds(count * unit->second);
}
