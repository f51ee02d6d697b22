// Signature files counted key by key, and the steps of a key-list chain.
#include "trust/key_chain.h"

#include <algorithm>

#include "manifest/text_pieces.h"
#include "trust/key_files.h"

namespace {

constexpr std::string_view fingerprintPrefix = "ed25519:";

bool Verifies(const std::string& message, const std::string& signature, const PublicKey& key) {
    return VerifySignature(message, signature, {key});
}

std::string ListName(const KeyList& list) {
    return list.version == 0 ? std::string("the pinned keys")
                             : "key list " + std::to_string(list.version);
}

}  // namespace

std::optional<std::vector<SignatureLine>> ParseSignatureFile(const std::string& text,
                                                             const std::string& name,
                                                             std::string& error) {
    if (text.size() > signature_file_limits::maxBytes) {
        error = name + " is over " + std::to_string(signature_file_limits::maxBytes) + " bytes";
        return std::nullopt;
    }
    std::vector<SignatureLine> lines;
    const std::vector<std::string> fileLines = CommentFreeLines(text);
    for (size_t number = 1; number <= fileLines.size(); ++number) {
        const std::string& line = fileLines[number - 1];
        if (line.empty()) continue;
        const size_t blank = line.find_first_of(" \t");
        SignatureLine parsed;
        if (blank == std::string::npos) {
            parsed.signature = line;
        } else {
            parsed.fingerprint = line.substr(0, blank);
            parsed.signature = Trimmed(std::string_view(line).substr(blank));
        }
        const bool fingerprintOk =
            parsed.fingerprint.empty() || parsed.fingerprint.rfind(fingerprintPrefix, 0) == 0;
        if (!fingerprintOk || !FromBase64(parsed.signature, 64)) {
            error = name + ":" + std::to_string(number) +
                    ": is not a signature (FINGERPRINT BASE64, as tarvex-cli writes it)";
            return std::nullopt;
        }
        if (lines.size() == signature_file_limits::maxLines) {
            error = name + " holds more than " + std::to_string(signature_file_limits::maxLines) +
                    " signatures";
            return std::nullopt;
        }
        lines.push_back(std::move(parsed));
    }
    return lines;
}

std::string FormatSignatureLine(const PublicKey& key, const std::string& signature) {
    return Fingerprint(key) + " " + signature + "\n";
}

std::vector<PublicKey> SignersAmong(const std::string& message,
                                    const std::vector<SignatureLine>& lines,
                                    const std::vector<PublicKey>& keys) {
    std::vector<PublicKey> signers;
    for (const PublicKey& key : keys) {
        const std::string fingerprint = Fingerprint(key);
        const bool signedIt = std::any_of(lines.begin(), lines.end(), [&](const SignatureLine& l) {
            return (l.fingerprint.empty() || l.fingerprint == fingerprint) &&
                   Verifies(message, l.signature, key);
        });
        if (signedIt && std::find(signers.begin(), signers.end(), key) == signers.end())
            signers.push_back(key);
    }
    return signers;
}

std::string QuorumProblem(const std::string& whose, const std::vector<PublicKey>& signers,
                          const std::vector<PublicKey>& keys, int threshold) {
    if (signers.size() >= static_cast<size_t>(threshold)) return {};
    return "has " + std::to_string(signers.size()) + " of the " + std::to_string(threshold) +
           " signatures it needs from " + whose +
           " (signed by: " + (signers.empty() ? "none" : Fingerprints(signers)) +
           "; those keys: " + Fingerprints(keys) + ")";
}

std::string CheckNextKeyList(const KeyList& held, const std::string& bytes,
                             const std::string& signatures, const std::string& name,
                             KeyList& next) {
    std::string error;
    const std::optional<KeyList> list = ParseKeyList(bytes, name, error);
    if (!list) return error;
    const long long wanted = held.version + 1;
    if (list->version < wanted)
        return name + " says version " + std::to_string(list->version) + " where " +
               std::to_string(wanted) + " must follow " + ListName(held) +
               ": a key list never goes back or repeats (rollback refused)";
    if (list->version > wanted)
        return name + " says version " + std::to_string(list->version) + " where " +
               std::to_string(wanted) + " must follow " + ListName(held) + ": the chain has a gap";
    const std::optional<std::vector<SignatureLine>> lines =
        ParseSignatureFile(signatures, name + ".sig", error);
    if (!lines) return error;
    // Both sides must agree: the old roots hand over, the new roots accept.
    const std::string oldSide =
        QuorumProblem("the root keys of " + ListName(held), SignersAmong(bytes, *lines, held.roots),
                      held.roots, held.rootThreshold);
    if (!oldSide.empty()) return name + " " + oldSide;
    const std::string newSide =
        QuorumProblem("its own root keys", SignersAmong(bytes, *lines, list->roots), list->roots,
                      list->rootThreshold);
    if (!newSide.empty()) return name + " " + newSide;
    next = *list;
    return {};
}

std::string CheckReleaseSignatures(const KeyList& held, const std::string& bytes,
                                   const std::string& signatures) {
    std::string error;
    const std::optional<std::vector<SignatureLine>> lines =
        ParseSignatureFile(signatures, "the manifest's signature file", error);
    // Pinned keys alone: any one of them signs, as before key lists.
    if (held.version == 0) {
        if (lines && !SignersAmong(bytes, *lines, held.releases).empty()) return {};
        return "the manifest is not signed by a key this program folder trusts (" +
               Fingerprints(held.releases) + ")";
    }
    if (!lines) return error;
    const std::string problem = QuorumProblem("the release keys of " + ListName(held),
                                              SignersAmong(bytes, *lines, held.releases),
                                              held.releases, held.releaseThreshold);
    return problem.empty() ? problem : "the manifest " + problem;
}
