// Ed25519 signatures (libsodium) over a manifest's exact bytes, the keys'
// short fingerprints, and the SHA-256 of the files a manifest vouches for.
// Keys and signatures travel as base64 in one line.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using PublicKey = std::array<unsigned char, 32>;
using SecretKey = std::array<unsigned char, 64>;

// Whether signatureText (base64, surrounding blanks ignored) is a signature of
// message by one of keys.
bool VerifySignature(const std::string& message, const std::string& signatureText,
                     const std::vector<PublicKey>& keys);
// The base64 signature of message.
std::string Sign(const std::string& message, const SecretKey& key);
// A new key pair.
std::pair<PublicKey, SecretKey> NewKeyPair();
// The public half a secret key carries.
PublicKey PublicHalf(const SecretKey& key);
// "ed25519:" and the first 16 hex digits of the key's SHA-256: short enough to
// read out, long enough to tell the keys of one site apart.
std::string Fingerprint(const PublicKey& key);

std::string ToBase64(const unsigned char* data, size_t size);
// Nothing unless text (surrounding blanks ignored) is base64 of exactly size bytes.
std::optional<std::vector<unsigned char>> FromBase64(const std::string& text, size_t size);

// The file's SHA-256 as 64 lowercase hex digits, or nothing when it cannot be read.
std::optional<std::string> Sha256OfFile(const std::filesystem::path& file);
// 64 hex digits (either case).
bool IsSha256Text(const std::string& text);
