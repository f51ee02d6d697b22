// Key lists read strictly and written in one canonical form.
#include "trust/key_list.h"

#include <algorithm>
#include <set>

#include "manifest/text_pieces.h"
#include "trust/key_files.h"
#include "trust/manifest_rules.h"
#include "trust/manifest_stamp.h"

namespace {

constexpr long long maxThreshold = static_cast<long long>(key_list_limits::maxKeys);

// Reads the list line by line; returns the problem, or empty.
class ListReader {
public:
    explicit ListReader(KeyList& target) : list(target) {}

    std::string Take(const std::string& name, const std::string& value) {
        if (name == "root" || name == "release") return TakeKey(name, value);
        if (!seen.insert(name).second) return name + " is given twice";
        if (name == "version") {
            const std::optional<long long> version = ParseSerial(value);
            if (!version || *version == 0) return "version must be a number of 1 to 18 digits";
            list.version = *version;
        } else if (name == "expires") {
            list.expires = ParseExpiry(value);
            if (!list.expires) return "expires must be a real time written YYYY-MM-DDTHH:MM:SSZ";
        } else if (name == "root-threshold" || name == "release-threshold") {
            const std::optional<long long> count = ParseSerial(value);
            if (!count || *count == 0 || *count > maxThreshold)
                return name + " must be a number from 1 to " + std::to_string(maxThreshold);
            (name == "root-threshold" ? list.rootThreshold : list.releaseThreshold) =
                static_cast<int>(*count);
        } else {
            return "\"" + name +
                   "\" is not a setting of a key list (version, expires, root-threshold, "
                   "release-threshold, root, release)";
        }
        return {};
    }

    std::string Finish() const {
        for (const char* name : {"version", "expires", "root-threshold", "release-threshold"})
            if (seen.count(name) == 0) return std::string("it has no ") + name + " line";
        if (list.roots.empty()) return "it names no root key";
        if (list.releases.empty()) return "it names no release key";
        if (static_cast<size_t>(list.rootThreshold) > list.roots.size())
            return "root-threshold " + std::to_string(list.rootThreshold) + " is above its " +
                   std::to_string(list.roots.size()) + " root keys";
        if (static_cast<size_t>(list.releaseThreshold) > list.releases.size())
            return "release-threshold " + std::to_string(list.releaseThreshold) + " is above its " +
                   std::to_string(list.releases.size()) + " release keys";
        return {};
    }

private:
    std::string TakeKey(const std::string& role, const std::string& value) {
        const std::optional<PublicKey> key = ParsePublicKeyLine(value);
        if (!key)
            return role +
                   "= must be a public key as tarvex-cli keygen writes it (44 base64 characters)";
        std::vector<PublicKey>& keys = role == "root" ? list.roots : list.releases;
        if (std::find(keys.begin(), keys.end(), *key) != keys.end())
            return "key " + Fingerprint(*key) + " is a " + role + " key twice";
        if (keys.size() == key_list_limits::maxKeys)
            return "more than " + std::to_string(key_list_limits::maxKeys) + " " + role + " keys";
        keys.push_back(*key);
        return {};
    }

    KeyList& list;
    std::set<std::string> seen;
};

std::string FormatTime(const std::optional<std::time_t>& when) {
    return when ? FormatExpiry(*when) : "never";
}

}  // namespace

std::optional<KeyList> ParseKeyList(std::string_view text, const std::string& name,
                                    std::string& error) {
    if (text.size() > key_list_limits::maxBytes) {
        error = name + " is over " + std::to_string(key_list_limits::maxBytes) +
                " bytes, more than any key list";
        return std::nullopt;
    }
    KeyList list;
    list.rootThreshold = 0;
    list.releaseThreshold = 0;
    ListReader reader(list);
    const std::vector<std::string> lines = CommentFreeLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty()) continue;
        const size_t equals = line.find('=');
        const std::string problem =
            equals == std::string::npos
                ? "is not a setting (name=value)"
                : reader.Take(Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1)));
        if (!problem.empty()) {
            error = name + ":" + std::to_string(i + 1) + ": " + problem;
            return std::nullopt;
        }
    }
    if (const std::string problem = reader.Finish(); !problem.empty()) {
        error = name + " is not a whole key list: " + problem;
        return std::nullopt;
    }
    return list;
}

std::string FormatKeyList(const KeyList& list) {
    std::string text =
        "# Tarvex key list: the root keys may change this list, the release keys sign "
        "manifests\n";
    text += "version=" + std::to_string(list.version) + "\n";
    text += "expires=" + FormatTime(list.expires) + "\n";
    text += "root-threshold=" + std::to_string(list.rootThreshold) + "\n";
    text += "release-threshold=" + std::to_string(list.releaseThreshold) + "\n";
    for (const PublicKey& key : list.roots)
        text += "root=" + ToBase64(key.data(), key.size()) + "  # " + Fingerprint(key) + "\n";
    for (const PublicKey& key : list.releases)
        text += "release=" + ToBase64(key.data(), key.size()) + "  # " + Fingerprint(key) + "\n";
    return text;
}

bool IsKeyListText(std::string_view text) {
    for (const std::string& line : CommentFreeLines(text))
        if (line.rfind("version", 0) == 0 && line.find('=') != std::string::npos) return true;
    return false;
}

KeyList PinnedKeyList(const std::vector<PublicKey>& keys) {
    KeyList list;
    for (const PublicKey& key : keys)
        if (std::find(list.roots.begin(), list.roots.end(), key) == list.roots.end())
            list.roots.push_back(key);
    list.releases = list.roots;
    return list;
}

bool HasExpired(const KeyList& list, std::time_t now) {
    return list.version > 0 && list.expires && now >= *list.expires;
}

std::string DescribeKeyList(const KeyList& list) {
    return (list.version == 0 ? std::string("the pinned keys")
                              : "key list " + std::to_string(list.version)) +
           " (roots " + std::to_string(list.rootThreshold) + " of " + Fingerprints(list.roots) +
           "; release keys " + std::to_string(list.releaseThreshold) + " of " +
           Fingerprints(list.releases) + "; expires " + FormatTime(list.expires) + ")";
}
