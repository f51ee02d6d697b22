// The key files of signed updates, read so that a mistake never switches
// verification off: the publisher keys a program folder trusts
// (data/update-keys, and the key built into the program), and the
// publisher's own secret key.
//
// data/update-keys holds one base64 public key a line; blank lines, and text
// from "#" to the end of a line, are ignored, as are blanks around a key and a
// carriage return before the line feed. Anything at that path (a file, a
// folder, a link, even one that leads nowhere) means the folder accepts only
// signed manifests: a line that is not a public key, a file that cannot be
// read or that holds no key is an error, never an empty list. It may instead
// hold a key list (key_list.h, with a version line): the folder then starts
// from that list, its roots and thresholds, instead of plain keys.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "trust/key_list.h"
#include "trust/signature.h"

// The keys a program folder trusts.
struct TrustedKeys {
    std::vector<PublicKey> keys;
    // data/update-keys written as a key list.
    std::optional<KeyList> list;
    // Something is at data/update-keys: only signed manifests are accepted.
    bool keyFilePresent = false;
};

// Where a program folder lists the keys it trusts.
std::filesystem::path UpdateKeysPath(const std::filesystem::path& programFolder);

// The key built into the program: builtIn (one base64 key, or empty for
// none). Nothing, with error, when it is not a public key.
std::optional<std::vector<PublicKey>> ReadBuiltInKey(const std::string& builtIn,
                                                     std::string& error);

// The keys of programFolder/data/update-keys and builtIn (one base64 key, or
// empty for none). Nothing, with error naming the file, the line and what to
// do, when the key file or the built-in key is unusable.
std::optional<TrustedKeys> LoadTrustedKeys(const std::filesystem::path& programFolder,
                                           const std::string& builtIn, std::string& error);

// The one public key of a .pub file, read by the rules of data/update-keys.
std::optional<PublicKey> ReadPublicKeyFile(const std::filesystem::path& file, std::string& error);

// The secret key of a file keygen wrote. Nothing, with error saying what the
// file is instead ("is a folder", "is a public key: give the secret key
// file", "no such file", ...).
std::optional<SecretKey> ReadSecretKeyFile(const std::filesystem::path& file, std::string& error);

// The text of a key file of public keys, named name in messages: appends
// every key to keys; false with error naming the line that is no key (blank
// lines, "#" comments and blanks around a key are fine), or saying that
// there is none.
bool ParseKeyLines(const std::string& text, const std::string& name, std::vector<PublicKey>& keys,
                   std::string& error);
// The text of a secret key file, as ReadSecretKeyFile reads it.
std::optional<SecretKey> ParseSecretKeyText(const std::string& text,
                                            const std::filesystem::path& file, std::string& error);

// The public key one line holds (base64, blanks around it ignored), or nothing.
std::optional<PublicKey> ParsePublicKeyLine(const std::string& line);

// The fingerprints of keys, comma-separated, for messages.
std::string Fingerprints(const std::vector<PublicKey>& keys);
