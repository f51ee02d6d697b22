// Key files: the public keys a program folder trusts, and a secret key file.
#include <cstdint>
#include <string>
#include <vector>

#include "trust/key_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<PublicKey> keys;
    std::string error;
    ParseKeyLines(text, "update-keys", keys, error);
    ParseSecretKeyText(text, "publisher.key", error);
    ReadBuiltInKey(text, error);
    return 0;
}
