// A manifest's signature file: the bytes up to the first line feed are the
// signature text, the rest the message; checked against a fixed key, whose
// own signature of the message must still verify.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "trust/key_chain.h"
#include "trust/signature.h"

namespace {

const std::pair<PublicKey, SecretKey>& FixedKeys() {
    static const std::pair<PublicKey, SecretKey> keys = NewKeyPair();
    return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t feed = bytes.find('\n');
    const std::string signature = bytes.substr(0, feed);
    const std::string message = feed == std::string::npos ? "" : bytes.substr(feed + 1);
    const auto& [publicKey, secretKey] = FixedKeys();
    VerifySignature(message, signature, {publicKey});
    if (!VerifySignature(message, Sign(message, secretKey), {publicKey})) std::abort();
    // The whole input as a signature file of several lines: the fixed key
    // counts once at most, however often it appears.
    std::string error;
    if (const auto lines = ParseSignatureFile(bytes, "autoupdate.txt.sig", error))
        if (SignersAmong(message, *lines, {publicKey, publicKey}).size() > 1) std::abort();
    FromBase64(signature, 64);
    IsSha256Text(signature);
    return 0;
}
