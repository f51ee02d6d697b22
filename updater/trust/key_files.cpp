// Key files read line by line, every line a key, blank or a comment, or an error.
#include "trust/key_files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "manifest/text_pieces.h"
#include "trust/file_text.h"

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

// What a key line that is not a public key is instead, for the message.
std::string LineProblem(const std::string& line) {
    if (line.rfind(byteOrderMark, 0) == 0)
        return "starts with a byte-order mark: save the file as plain ASCII text";
    if (line.find('\0') != std::string::npos || line.rfind("\xFF\xFE", 0) == 0 ||
        line.rfind("\xFE\xFF", 0) == 0)
        return "is UTF-16 text: save the file as plain ASCII text";
    if (FromBase64(line, SecretKey{}.size()))
        return "is a secret key: put the public key (the line of the .pub file) here, and keep "
               "the secret key off program folders";
    return "is not a public key: each line must be one key as tarvex-cli keygen writes it into "
           "KEYFILE.pub (44 base64 characters)";
}

// Appends the keys of file to keys; false with error naming the file and,
// for a bad line, its number.
bool ReadKeyLines(const std::filesystem::path& file, std::vector<PublicKey>& keys,
                  std::string& error) {
    std::string problem;
    const std::optional<std::string> text = ReadRegularFile(file, problem);
    if (!text) {
        error = file.string() + " " + problem;
        return false;
    }
    return ParseKeyLines(*text, file.string(), keys, error);
}

}  // namespace

std::optional<PublicKey> ParsePublicKeyLine(const std::string& line) {
    const auto bytes = FromBase64(line, PublicKey{}.size());
    if (!bytes) return std::nullopt;
    PublicKey key{};
    std::copy(bytes->begin(), bytes->end(), key.begin());
    return key;
}

bool ParseKeyLines(const std::string& text, const std::string& name, std::vector<PublicKey>& keys,
                   std::string& error) {
    const size_t before = keys.size();
    const std::vector<std::string> lines = CommentFreeLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& key = lines[i];
        if (key.empty()) continue;
        const std::optional<PublicKey> parsed = ParsePublicKeyLine(key);
        if (!parsed) {
            error = name + ":" + std::to_string(i + 1) + ": " + LineProblem(key);
            return false;
        }
        keys.push_back(*parsed);
    }
    if (keys.size() == before) {
        error = name + " holds no key";
        return false;
    }
    return true;
}

std::filesystem::path UpdateKeysPath(const std::filesystem::path& programFolder) {
    return programFolder / "data" / "update-keys";
}

std::optional<std::vector<PublicKey>> ReadBuiltInKey(const std::string& builtIn,
                                                     std::string& error) {
    const std::string text = Trimmed(builtIn);
    if (text.empty()) return std::vector<PublicKey>{};
    const std::optional<PublicKey> key = ParsePublicKeyLine(text);
    if (!key) {
        error = "the built-in update key " + LineProblem(text) +
                "; rebuild with a valid TARVEX_UPDATE_PUBLIC_KEY";
        return std::nullopt;
    }
    return std::vector<PublicKey>{*key};
}

std::optional<TrustedKeys> LoadTrustedKeys(const std::filesystem::path& programFolder,
                                           const std::string& builtIn, std::string& error) {
    const std::optional<std::vector<PublicKey>> builtInKeys = ReadBuiltInKey(builtIn, error);
    if (!builtInKeys) return std::nullopt;
    TrustedKeys trusted;
    trusted.keys = *builtInKeys;
    const std::filesystem::path file = UpdateKeysPath(programFolder);
    struct stat link {};
    if (::lstat(file.c_str(), &link) != 0) {
        if (errno == ENOENT) return trusted;
        error = "cannot look at " + file.string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    trusted.keyFilePresent = true;
    std::string problem;
    const std::optional<std::string> text = ReadRegularFile(file, problem);
    if (text && IsKeyListText(*text)) {
        trusted.list = ParseKeyList(*text, file.string(), problem);
        if (trusted.list) return trusted;
    }
    if (!text) problem = file.string() + " " + problem;
    if (!text || !problem.empty() || !ParseKeyLines(*text, file.string(), trusted.keys, problem)) {
        error = problem + "; this program folder accepts only signed updates until it is mended";
        return std::nullopt;
    }
    return trusted;
}

std::optional<PublicKey> ReadPublicKeyFile(const std::filesystem::path& file, std::string& error) {
    std::vector<PublicKey> keys;
    if (!ReadKeyLines(file, keys, error)) return std::nullopt;
    if (keys.size() != 1) {
        error = file.string() + " holds " + std::to_string(keys.size()) + " keys, not one";
        return std::nullopt;
    }
    return keys.front();
}

std::optional<SecretKey> ReadSecretKeyFile(const std::filesystem::path& file, std::string& error) {
    std::string problem;
    const std::optional<std::string> text = ReadRegularFile(file, problem);
    if (!text) {
        error = file.string() + " " + problem;
        return std::nullopt;
    }
    return ParseSecretKeyText(*text, file, error);
}

std::optional<SecretKey> ParseSecretKeyText(const std::string& text,
                                            const std::filesystem::path& file, std::string& error) {
    const std::string key = Trimmed(text);
    if (key.empty()) {
        error = file.string() + " is empty: give the secret key file tarvex-cli keygen wrote";
        return std::nullopt;
    }
    if (ParsePublicKeyLine(key)) {
        error = file.string() + " is a public key: give the secret key file (the one without .pub)";
        return std::nullopt;
    }
    const auto bytes = FromBase64(key, SecretKey{}.size());
    if (!bytes) {
        error = file.string() + " is not a secret key written by tarvex-cli keygen";
        return std::nullopt;
    }
    SecretKey secret{};
    std::copy(bytes->begin(), bytes->end(), secret.begin());
    return secret;
}

std::string Fingerprints(const std::vector<PublicKey>& keys) {
    std::string text;
    for (const PublicKey& key : keys) text += (text.empty() ? "" : ", ") + Fingerprint(key);
    return text.empty() ? "none" : text;
}
