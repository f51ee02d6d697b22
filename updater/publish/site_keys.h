// The publisher's side of key lists: the site folder's keys/ as desktops will
// walk it, and the commands that change it. A new list is written as
// keys/pending.txt until enough holders signed it (keys sign, one holder and
// one machine at a time); it is published as keys/<version>.txt only once a
// desktop would accept it. Nothing is published that a desktop would refuse.
//
//   SITE/keys/pinned          the plain keys desktops pin today (data/update-keys)
//   SITE/keys/<N>.txt, .sig   the published lists and their signatures
//   SITE/keys/pending.txt, .sig  the next list, while it waits for signatures
#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "trust/key_list.h"
#include "trust/signature.h"

// The key lists of a site folder, checked link by link as a desktop checks them.
struct SiteKeys {
    std::vector<PublicKey> pinned;
    // The newest published list; the pinned keys as version 0 when none is.
    KeyList newest;
    // The newest list's own text, or empty for the pinned keys.
    std::string newestText;
};

// Reads site/keys. Nothing, with error, when a published list breaks the
// chain (a desktop would stop there) or a file cannot be read. A site
// without keys/ comes back with no pinned keys and version 0.
std::optional<SiteKeys> ReadSiteKeys(const std::filesystem::path& site, std::string& error);

// A change of the key list. What each kind does with the keys given:
//   Init    roots and releases are the first list's; pinned are the keys
//           desktops pin today (default: the new roots)
//   Add     roots and releases join the list
//   Remove  roots and releases leave it (revocation)
//   Rotate  roots replace the list's roots
//   Renew   nothing but a new version and expiry
struct KeyListChange {
    enum class Kind { Init, Add, Remove, Rotate, Renew };
    Kind kind = Kind::Renew;
    std::vector<PublicKey> roots;
    std::vector<PublicKey> releases;
    std::vector<PublicKey> pinned;
    std::optional<int> rootThreshold;
    std::optional<int> releaseThreshold;
    std::chrono::seconds validFor{std::chrono::hours(24 * 365)};
    std::time_t now = 0;  // 0: the clock
};

// Writes the changed list as site/keys/pending.txt and signs it with each of
// signers; publishes it when that is enough. false, with error, when the
// change makes no valid list, a list already waits, or a signer is no root
// of either side.
bool ProposeKeyList(const std::filesystem::path& site, const KeyListChange& change,
                    const std::vector<std::filesystem::path>& signers, std::ostream& out,
                    std::string& error);
// Adds the signature of keyFile to the pending list; publishes it when that
// is enough, or says whose signatures it still needs.
bool SignKeyList(const std::filesystem::path& site, const std::filesystem::path& keyFile,
                 std::ostream& out, std::string& error);
