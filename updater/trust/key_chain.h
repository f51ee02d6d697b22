// What a signature file holds and what it proves: the rules by which a desktop
// moves from the key list it holds to the next one, and accepts a manifest.
// Publish applies the same rules before it calls a list or a release done.
//
// A signature file (autoupdate.txt.sig, keys/<version>.txt.sig) holds one
// signature a line, as "FINGERPRINT BASE64" or, as written before key lists,
// the bare base64 signature. Only distinct keys of the list in question count:
// a signature of any other key (a removed one among them) or a second one by
// the same key counts for nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "trust/key_list.h"
#include "trust/signature.h"

namespace signature_file_limits {
inline constexpr std::uint64_t maxBytes = std::uint64_t{16} << 10;
inline constexpr size_t maxLines = 64;
}  // namespace signature_file_limits

struct SignatureLine {
    std::string fingerprint;  // empty for a bare signature
    std::string signature;    // base64
};

// The lines of a signature file named name. Nothing, with error naming the
// line, when a line is neither form or the file passes the limits.
std::optional<std::vector<SignatureLine>> ParseSignatureFile(const std::string& text,
                                                             const std::string& name,
                                                             std::string& error);
// The line a signature of key is written as.
std::string FormatSignatureLine(const PublicKey& key, const std::string& signature);
// The distinct keys among keys that signed message in lines.
std::vector<PublicKey> SignersAmong(const std::string& message,
                                    const std::vector<SignatureLine>& lines,
                                    const std::vector<PublicKey>& keys);

// Whether the list bytes (with signatures, both as fetched from keys/N.txt and
// its .sig, named name) may follow held: it must say version held.version + 1
// and carry signatures of held.rootThreshold of held's roots and of its own
// rootThreshold of its own roots. Empty and next set when it may; otherwise
// the reason, naming the rule.
std::string CheckNextKeyList(const KeyList& held, const std::string& bytes,
                             const std::string& signatures, const std::string& name, KeyList& next);
// Whether manifest bytes carry signatures of held.releaseThreshold of held's
// release keys. Empty when they do; otherwise the reason.
std::string CheckReleaseSignatures(const KeyList& held, const std::string& bytes,
                                   const std::string& signatures);
// What a quorum lacks: "has 1 of the 2 signatures it needs from the root keys
// of key list 3 (signed by: …; those keys: …)", or empty when signers reach
// threshold.
std::string QuorumProblem(const std::string& whose, const std::vector<PublicKey>& signers,
                          const std::vector<PublicKey>& keys, int threshold);
