// keys init, add, remove, rotate, renew and sign: the site's key lists changed
// only by the rules desktops apply.
#include "publish/site_keys.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "engine/replace_in_place.h"
#include "trust/file_text.h"
#include "trust/key_chain.h"
#include "trust/key_files.h"
#include "trust/manifest_stamp.h"

namespace {

constexpr const char* pendingName = "pending.txt";

std::filesystem::path KeysFolder(const std::filesystem::path& site) {
    return site / "keys";
}

std::filesystem::path ListFile(const std::filesystem::path& site, long long version) {
    return KeysFolder(site) / (std::to_string(version) + ".txt");
}

std::filesystem::path SignaturesOf(const std::filesystem::path& file) {
    return file.string() + ".sig";
}

bool Exists(const std::filesystem::path& file) {
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0;
}

bool Contains(const std::vector<PublicKey>& keys, const PublicKey& key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// The text of file, or empty when it is absent; nothing, with error, when it
// is there and cannot be read.
std::optional<std::string> ReadIfThere(const std::filesystem::path& file, std::string& error) {
    if (!Exists(file)) return std::string();
    std::string problem;
    std::optional<std::string> text = ReadRegularFile(file, problem);
    if (!text) error = file.string() + " " + problem;
    return text;
}

// The secret keys of files, each with its public half.
std::optional<std::vector<SecretKey>> ReadSigners(const std::vector<std::filesystem::path>& files,
                                                  std::string& error) {
    std::vector<SecretKey> keys;
    for (const std::filesystem::path& file : files) {
        const std::optional<SecretKey> key = ReadSecretKeyFile(file, error);
        if (!key) return std::nullopt;
        keys.push_back(*key);
    }
    return keys;
}

// The list the change makes of newest, or nothing with error.
std::optional<KeyList> Changed(const SiteKeys& site, const KeyListChange& change, std::time_t now,
                               std::string& error) {
    KeyList next = change.kind == KeyListChange::Kind::Init ? KeyList{} : site.newest;
    next.version = site.newest.version + 1;
    next.expires = now + change.validFor.count();
    const auto join = [&](std::vector<PublicKey>& keys, const std::vector<PublicKey>& added,
                          const char* role) {
        for (const PublicKey& key : added) {
            if (Contains(keys, key)) {
                error = "key " + Fingerprint(key) + " is a " + role + " key already";
                return false;
            }
            keys.push_back(key);
        }
        return true;
    };
    const auto leave = [&](std::vector<PublicKey>& keys, const std::vector<PublicKey>& removed,
                           const char* role) {
        for (const PublicKey& key : removed) {
            if (!Contains(keys, key)) {
                error = "key " + Fingerprint(key) + " is no " + role + " key of key list " +
                        std::to_string(site.newest.version);
                return false;
            }
            keys.erase(std::find(keys.begin(), keys.end(), key));
        }
        return true;
    };
    bool done = true;
    switch (change.kind) {
        case KeyListChange::Kind::Init:
        case KeyListChange::Kind::Add:
            done = join(next.roots, change.roots, "root") &&
                   join(next.releases, change.releases, "release");
            break;
        case KeyListChange::Kind::Remove:
            done = leave(next.roots, change.roots, "root") &&
                   leave(next.releases, change.releases, "release");
            break;
        case KeyListChange::Kind::Rotate:
            next.roots.clear();
            done = join(next.roots, change.roots, "root");
            break;
        case KeyListChange::Kind::Renew:
            break;
    }
    if (!done) return std::nullopt;
    if (change.rootThreshold) next.rootThreshold = *change.rootThreshold;
    if (change.releaseThreshold) next.releaseThreshold = *change.releaseThreshold;
    // Read back as a desktop reads it: every rule of a list applies.
    const std::optional<KeyList> reread = ParseKeyList(FormatKeyList(next), "the new list", error);
    if (!reread) {
        error += " (give --root-threshold or --release-threshold to fit the keys)";
        return std::nullopt;
    }
    return reread;
}

// What the pending list still lacks, or empty; publishes it when nothing.
bool PublishWhenSigned(const std::filesystem::path& site, const SiteKeys& keys, std::ostream& out,
                       std::string& error) {
    const std::filesystem::path pending = KeysFolder(site) / pendingName;
    std::string text;
    std::string signatures;
    {
        std::string problem;
        const std::optional<std::string> read = ReadRegularFile(pending, problem);
        const std::optional<std::string> readSignatures =
            read ? ReadIfThere(SignaturesOf(pending), error) : std::nullopt;
        if (!read || !readSignatures) {
            if (!read) error = pending.string() + " " + problem;
            return false;
        }
        text = *read;
        signatures = *readSignatures;
    }
    std::optional<KeyList> list = ParseKeyList(text, pending.string(), error);
    std::optional<std::vector<SignatureLine>> lines =
        list ? ParseSignatureFile(signatures, SignaturesOf(pending).string(), error) : std::nullopt;
    if (!lines) return false;
    const std::string holdersOld =
        keys.newest.version == 0 ? "root keys desktops pin"
                                 : "root keys of key list " + std::to_string(keys.newest.version);
    std::vector<std::string> missing;
    for (const auto& [whose, roots, threshold] :
         {std::tuple{holdersOld, keys.newest.roots, keys.newest.rootThreshold},
          std::tuple{std::string("its own root keys"), list->roots, list->rootThreshold}}) {
        const std::string lack =
            QuorumProblem(whose, SignersAmong(text, *lines, roots), roots, threshold);
        if (!lack.empty()) missing.push_back(lack);
    }
    if (!missing.empty()) {
        out << "key list " << list->version << " waits in " << pending.string() << ":\n";
        for (const std::string& lack : missing) out << "  " << lack << "\n";
        out << "each further holder runs: tarvex-cli keys sign " << site.string()
            << " --key KEYFILE\n";
        return true;
    }
    KeyList next;
    const std::string refused = CheckNextKeyList(keys.newest, text, signatures,
                                                 ListFile(site, list->version).string(), next);
    if (!refused.empty()) {
        error = refused;
        return false;
    }
    // The signatures first: a desktop that finds the list finds them too.
    const std::filesystem::path published = ListFile(site, next.version);
    if (!ReplaceInPlace(SignaturesOf(published), 0644, signatures) ||
        !ReplaceInPlace(published, 0644, text)) {
        error = "cannot write " + published.string();
        return false;
    }
    ::unlink(SignaturesOf(pending).c_str());
    ::unlink(pending.c_str());
    out << "published " << published.string() << ": " << DescribeKeyList(next) << "\n";
    return true;
}

}  // namespace

std::optional<SiteKeys> ReadSiteKeys(const std::filesystem::path& site, std::string& error) {
    SiteKeys keys;
    const std::filesystem::path pinnedFile = KeysFolder(site) / "pinned";
    if (Exists(pinnedFile)) {
        std::string problem;
        const std::optional<std::string> text = ReadRegularFile(pinnedFile, problem);
        if (!text) {
            error = pinnedFile.string() + " " + problem;
            return std::nullopt;
        }
        if (!ParseKeyLines(*text, pinnedFile.string(), keys.pinned, error)) return std::nullopt;
    }
    keys.newest = PinnedKeyList(keys.pinned);
    for (long long version = 1; Exists(ListFile(site, version)); ++version) {
        const std::filesystem::path file = ListFile(site, version);
        const std::optional<std::string> text = ReadIfThere(file, error);
        const std::optional<std::string> signatures =
            text ? ReadIfThere(SignaturesOf(file), error) : std::nullopt;
        if (!signatures) return std::nullopt;
        KeyList next;
        const std::string problem =
            CheckNextKeyList(keys.newest, *text, *signatures, file.string(), next);
        if (!problem.empty()) {
            error = problem + "; desktops stop there";
            return std::nullopt;
        }
        keys.newest = next;
        keys.newestText = *text;
    }
    return keys;
}

bool ProposeKeyList(const std::filesystem::path& site, const KeyListChange& change,
                    const std::vector<std::filesystem::path>& signers, std::ostream& out,
                    std::string& error) {
    const std::time_t now = change.now != 0 ? change.now : std::time(nullptr);
    std::optional<SiteKeys> keys = ReadSiteKeys(site, error);
    if (!keys) return false;
    const std::filesystem::path pending = KeysFolder(site) / pendingName;
    if (Exists(pending)) {
        error = pending.string() +
                " already waits for signatures: sign it (tarvex-cli keys sign), or remove it "
                "and its .sig to start over";
        return false;
    }
    const bool init = change.kind == KeyListChange::Kind::Init;
    if (init && keys->newest.version > 0) {
        error = site.string() + " has key list " + std::to_string(keys->newest.version) +
                " already: change it with keys add, remove, rotate or renew";
        return false;
    }
    if (!init && keys->newest.version == 0) {
        error = site.string() + " has no key list yet: start one with tarvex-cli keys init";
        return false;
    }
    if (init) {
        keys->pinned = change.pinned.empty() ? change.roots : change.pinned;
        keys->newest = PinnedKeyList(keys->pinned);
    }
    const std::optional<KeyList> next = Changed(*keys, change, now, error);
    const std::optional<std::vector<SecretKey>> secrets =
        next ? ReadSigners(signers, error) : std::nullopt;
    if (!secrets) return false;
    const std::string text = FormatKeyList(*next);
    std::string signatures;
    for (const SecretKey& secret : *secrets) {
        const PublicKey key = PublicHalf(secret);
        if (!Contains(keys->newest.roots, key) && !Contains(next->roots, key)) {
            error = "key " + Fingerprint(key) +
                    " is a root key of neither the current nor the new list; its signature "
                    "would count for nothing";
            return false;
        }
        signatures += FormatSignatureLine(key, Sign(text, secret));
    }
    std::error_code ec;
    std::filesystem::create_directories(KeysFolder(site), ec);
    std::string pinnedText;
    for (const PublicKey& key : keys->pinned)
        pinnedText += ToBase64(key.data(), key.size()) + "  # " + Fingerprint(key) + "\n";
    if ((init && !ReplaceInPlace(KeysFolder(site) / "pinned", 0644, pinnedText)) ||
        !ReplaceInPlace(SignaturesOf(pending), 0644, signatures) ||
        !ReplaceInPlace(pending, 0644, text)) {
        error = "cannot write " + pending.string();
        return false;
    }
    return PublishWhenSigned(site, *keys, out, error);
}

bool SignKeyList(const std::filesystem::path& site, const std::filesystem::path& keyFile,
                 std::ostream& out, std::string& error) {
    const std::optional<SiteKeys> keys = ReadSiteKeys(site, error);
    const std::optional<SecretKey> secret = keys ? ReadSecretKeyFile(keyFile, error) : std::nullopt;
    if (!secret) return false;
    const std::filesystem::path pending = KeysFolder(site) / pendingName;
    std::string problem;
    const std::optional<std::string> text = ReadRegularFile(pending, problem);
    if (!text) {
        error = pending.string() + " " + problem + ": no key list waits for signatures";
        return false;
    }
    const std::optional<KeyList> list = ParseKeyList(*text, pending.string(), error);
    const std::optional<std::string> signatures =
        list ? ReadIfThere(SignaturesOf(pending), error) : std::nullopt;
    const std::optional<std::vector<SignatureLine>> lines =
        signatures ? ParseSignatureFile(*signatures, SignaturesOf(pending).string(), error)
                   : std::nullopt;
    if (!lines) return false;
    const PublicKey key = PublicHalf(*secret);
    if (!Contains(keys->newest.roots, key) && !Contains(list->roots, key)) {
        error = "key " + Fingerprint(key) +
                " is a root key of neither the current nor the pending list; its signature "
                "would count for nothing";
        return false;
    }
    if (!SignersAmong(*text, *lines, {key}).empty()) {
        error = "key " + Fingerprint(key) + " has signed " + pending.string() + " already";
        return false;
    }
    if (!ReplaceInPlace(SignaturesOf(pending), 0644,
                        *signatures + FormatSignatureLine(key, Sign(*text, *secret)))) {
        error = "cannot write " + SignaturesOf(pending).string();
        return false;
    }
    out << "signed " << pending.string() << " with key " << Fingerprint(key) << "\n";
    return PublishWhenSigned(site, *keys, out, error);
}
