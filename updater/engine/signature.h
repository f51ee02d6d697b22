// Signed updates: Ed25519 signatures (libsodium) over the manifest's exact
// bytes, the publisher's keys a program folder trusts, and the SHA-256 of the
// files a manifest vouches for. Keys and signatures travel as base64 in one line.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using PublicKey = std::array<unsigned char, 32>;
using SecretKey = std::array<unsigned char, 64>;

// The keys listed in programFolder/data/update-keys (one base64 key a line;
// blank lines and text after '#' ignored; a line that is not a key is reported
// and skipped), and builtIn when it is not empty.
std::vector<PublicKey> TrustedUpdateKeys(const std::filesystem::path& programFolder,
                                         const std::string& builtIn);

// Whether signatureText (base64, surrounding blanks ignored) is a signature of
// message by one of keys.
bool VerifySignature(const std::string& message, const std::string& signatureText,
                     const std::vector<PublicKey>& keys);
// The base64 signature of message.
std::string Sign(const std::string& message, const SecretKey& key);
// A new key pair.
std::pair<PublicKey, SecretKey> NewKeyPair();

std::string ToBase64(const unsigned char* data, size_t size);
// Nothing unless text is base64 of exactly size bytes.
std::optional<std::vector<unsigned char>> FromBase64(const std::string& text, size_t size);

// The file's SHA-256 as 64 lowercase hex digits, or nothing when it cannot be read.
std::optional<std::string> Sha256OfFile(const std::filesystem::path& file);
// 64 hex digits (either case).
bool IsSha256Text(const std::string& text);
