// Ed25519, base64 and SHA-256 through libsodium, which is initialised once
// before its first use.
#include "trust/signature.h"

#include <sodium.h>

#include <cctype>
#include <fstream>

#include "manifest/text_pieces.h"

namespace {

bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

}  // namespace

std::string ToBase64(const unsigned char* data, size_t size) {
    std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), data, size, sodium_base64_VARIANT_ORIGINAL);
    text.resize(text.size() - 1);  // the terminating NUL
    return text;
}

std::optional<std::vector<unsigned char>> FromBase64(const std::string& text, size_t size) {
    const std::string trimmed = Trimmed(text);
    std::vector<unsigned char> bytes(size + 1);
    size_t length = 0;
    if (sodium_base642bin(bytes.data(), bytes.size(), trimmed.data(), trimmed.size(), nullptr,
                          &length, nullptr, sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length != size)
        return std::nullopt;
    bytes.resize(size);
    return bytes;
}

bool VerifySignature(const std::string& message, const std::string& signatureText,
                     const std::vector<PublicKey>& keys) {
    if (!SodiumReady()) return false;
    const auto signature = FromBase64(signatureText, crypto_sign_BYTES);
    if (!signature) return false;
    for (const PublicKey& key : keys)
        if (crypto_sign_verify_detached(signature->data(),
                                        reinterpret_cast<const unsigned char*>(message.data()),
                                        message.size(), key.data()) == 0)
            return true;
    return false;
}

std::string Sign(const std::string& message, const SecretKey& key) {
    SodiumReady();
    std::array<unsigned char, crypto_sign_BYTES> signature{};
    crypto_sign_detached(signature.data(), nullptr,
                         reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                         key.data());
    return ToBase64(signature.data(), signature.size());
}

PublicKey PublicHalf(const SecretKey& key) {
    PublicKey half{};
    crypto_sign_ed25519_sk_to_pk(half.data(), key.data());
    return half;
}

std::string Fingerprint(const PublicKey& key) {
    constexpr size_t shownBytes = 8;
    SodiumReady();
    std::array<unsigned char, crypto_hash_sha256_BYTES> digest{};
    crypto_hash_sha256(digest.data(), key.data(), key.size());
    std::string hex(shownBytes * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), digest.data(), shownBytes);
    hex.pop_back();
    return "ed25519:" + hex;
}

std::pair<PublicKey, SecretKey> NewKeyPair() {
    SodiumReady();
    std::pair<PublicKey, SecretKey> pair;
    crypto_sign_keypair(pair.first.data(), pair.second.data());
    return pair;
}

std::optional<std::string> Sha256OfFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in || !SodiumReady()) return std::nullopt;
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    std::vector<char> buffer(1 << 16);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
        crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(buffer.data()),
                                  static_cast<unsigned long long>(in.gcount()));
    if (in.bad()) return std::nullopt;
    std::array<unsigned char, crypto_hash_sha256_BYTES> digest{};
    crypto_hash_sha256_final(&state, digest.data());
    std::string hex(digest.size() * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), digest.data(), digest.size());
    hex.pop_back();
    return hex;
}

bool IsSha256Text(const std::string& text) {
    if (text.size() != 64) return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}
