// The site's key list: who may sign releases and who may change the list.
// A desktop holds one list at a time and moves to the next version only when
// a threshold of the roots it holds and a threshold of the new list's own
// roots signed it (key_chain.h), so a lost or stolen key is replaced without
// visiting a desktop.
//
// The text, one setting a line; blank lines and text from "#" on are ignored:
//   version=3                       1 to 18 digits; rises by one each time
//   expires=2027-12-08T00:00:00Z    past it, a desktop refuses the site
//   root-threshold=2                how many roots must sign the next list
//   release-threshold=2             how many release keys must sign a manifest
//   root=BASE64                     a root key (one line each)
//   release=BASE64                  a release key (one line each)
// Published as keys/<version>.txt with its signatures in keys/<version>.txt.sig.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trust/signature.h"

struct KeyList {
    // 0: the keys a program folder pins, never published.
    long long version = 0;
    std::optional<std::time_t> expires;
    std::vector<PublicKey> roots;
    int rootThreshold = 1;
    std::vector<PublicKey> releases;
    int releaseThreshold = 1;
};

namespace key_list_limits {
// A list is small text; anything larger is not one.
inline constexpr std::uint64_t maxBytes = std::uint64_t{64} << 10;
// Keys of one role.
inline constexpr size_t maxKeys = 64;
}  // namespace key_list_limits

// The list of text, named name in messages. Nothing, with error naming the
// line and what is wrong, for anything but a well-formed list: unknown or
// repeated settings, a key twice in one role, a threshold of 0 or above its
// keys, no root or no release key, a missing version or expiry.
std::optional<KeyList> ParseKeyList(std::string_view text, const std::string& name,
                                    std::string& error);
// The list as text ParseKeyList reads back, each key followed by its fingerprint.
std::string FormatKeyList(const KeyList& list);
// Whether text is written as a key list (it has a version line) rather than
// as plain keys, one a line.
bool IsKeyListText(std::string_view text);

// The list a program folder starts from when it pins plain keys: version 0,
// every key a root and a release key, any one of them enough, as before
// key lists existed.
KeyList PinnedKeyList(const std::vector<PublicKey>& keys);

// Whether the list has expired at now (version 0 never does).
bool HasExpired(const KeyList& list, std::time_t now);
// "key list 3 (roots 2 of ed25519:…, …; release keys 2 of …; expires …)".
std::string DescribeKeyList(const KeyList& list);
