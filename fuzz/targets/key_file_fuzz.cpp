// Key files: the public keys a program folder trusts, a secret key file, and a
// key list, which must read back as it is written.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "trust/key_files.h"
#include "trust/key_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<PublicKey> keys;
    std::string error;
    ParseKeyLines(text, "update-keys", keys, error);
    ParseSecretKeyText(text, "publisher.key", error);
    ReadBuiltInKey(text, error);
    IsKeyListText(text);
    if (const std::optional<KeyList> list = ParseKeyList(text, "keys/1.txt", error)) {
        const std::optional<KeyList> again = ParseKeyList(FormatKeyList(*list), "again", error);
        if (!again || again->version != list->version || again->roots != list->roots ||
            again->releases != list->releases || again->expires != list->expires ||
            again->rootThreshold != list->rootThreshold ||
            again->releaseThreshold != list->releaseThreshold)
            std::abort();
    }
    return 0;
}
