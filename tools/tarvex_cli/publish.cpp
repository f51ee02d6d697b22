#include "publish.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <set>
#include <vector>

#include "engine/file_descriptor.h"
#include "engine/module_path.h"
#include "engine/signature.h"
#include "manifest/ini_file.h"

namespace {

// Writes bytes to file through a new file beside it renamed over it.
bool WriteReplacing(const std::filesystem::path& file, const std::string& bytes, mode_t mode) {
    const std::filesystem::path staged = file.string() + ".new";
    ::unlink(staged.c_str());
    FileDescriptor out = CreateNewFileNoFollow(staged, mode);
    const bool written = out.IsOpen() && out.WriteAll(bytes.data(), bytes.size()) && out.Close();
    if (!written || ::rename(staged.c_str(), file.c_str()) != 0) {
        ::unlink(staged.c_str());
        return false;
    }
    return true;
}

// One line of the manifest with its own line ending, as read.
struct Line {
    std::string text;
    std::string ending;
};

std::vector<Line> SplitLines(const std::string& bytes) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t feed = bytes.find('\n', start);
        if (feed == std::string::npos) {
            lines.push_back({bytes.substr(start), ""});
            break;
        }
        const bool crlf = feed > start && bytes[feed - 1] == '\r';
        lines.push_back({bytes.substr(start, feed - start - (crlf ? 1 : 0)), crlf ? "\r\n" : "\n"});
        start = feed + 1;
    }
    return lines;
}

// The section a header line opens, as the reader names it; nothing for other lines.
std::optional<std::string> HeaderName(const std::string& line) {
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return std::nullopt;
    const size_t first = line.find_first_not_of('[');
    const size_t last = line.find_last_not_of(']');
    if (first == std::string::npos || last < first) return std::string();
    return line.substr(first, last - first + 1);
}

std::string EntryName(const std::string& line) {
    const size_t equals = line.find('=');
    return equals == std::string::npos ? std::string() : line.substr(0, equals);
}

}  // namespace

bool GenerateKeyPair(const std::filesystem::path& keyFile, std::ostream& out, std::string& error) {
    const auto [publicKey, secretKey] = NewKeyPair();
    FileDescriptor secret = CreateNewFileNoFollow(keyFile, 0600);
    if (!secret.IsOpen()) {
        error = "cannot create " + keyFile.string() + " (it must not exist yet)";
        return false;
    }
    const std::string secretText = ToBase64(secretKey.data(), secretKey.size()) + "\n";
    const std::string publicText = ToBase64(publicKey.data(), publicKey.size());
    const std::filesystem::path publicFile = keyFile.string() + ".pub";
    if (!secret.WriteAll(secretText.data(), secretText.size()) || !secret.Close() ||
        !WriteReplacing(publicFile, publicText + "\n", 0644)) {
        error = "cannot write the key files";
        return false;
    }
    out << publicText << "\n";
    out << "public key written to " << publicFile.string()
        << "; copy its line into a program folder's data/update-keys to trust it\n";
    return true;
}

bool PublishSite(const std::filesystem::path& site, const std::filesystem::path& keyFile,
                 std::ostream& out, std::string& error) {
    const std::optional<std::string> keyText = ReadWholeFile(keyFile);
    const auto keyBytes = keyText ? FromBase64(*keyText, SecretKey{}.size()) : std::nullopt;
    if (!keyBytes) {
        error = keyFile.string() + " holds no secret key";
        return false;
    }
    SecretKey secretKey;
    std::copy(keyBytes->begin(), keyBytes->end(), secretKey.begin());

    const std::filesystem::path manifestFile = site / "autoupdate.txt";
    const std::optional<std::string> manifestText = ReadWholeFile(manifestFile);
    IniFile manifest(manifestFile.string());
    if (!manifestText || !manifest.Load()) {
        error = "cannot read " + manifestFile.string();
        return false;
    }
    // What each section gets: the serial for [Main], size and SHA-256 per file.
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> added;
    std::set<std::string> listed;
    const std::string serialText = manifest.GetValue("Main", "serial");
    const long long serial = (serialText.empty() ? 0 : std::stoll(serialText)) + 1;
    added["Main"] = {{"serial", std::to_string(serial)}};
    const int count = manifest.GetValueInt("Main", "filecount");
    for (int i = 1; i <= count; ++i) {
        const std::string section = "File" + std::to_string(i);
        const std::string filename = manifest.GetValue(section, "filename");
        const std::optional<std::filesystem::path> relative = ModuleRelativePath(filename);
        const std::filesystem::path file = relative ? site / *relative : std::filesystem::path();
        std::error_code ec;
        const uintmax_t size = relative ? std::filesystem::file_size(file, ec) : 0;
        const std::optional<std::string> sha256 =
            relative && !ec ? Sha256OfFile(file) : std::nullopt;
        if (!sha256) {
            error = "[" + section + "] filename=" + filename + ": no such file in " + site.string();
            return false;
        }
        added[section] = {{"size", std::to_string(size)}, {"sha256", *sha256}};
        listed.insert(section);
    }

    const std::vector<Line> lines = SplitLines(*manifestText);
    const std::string defaultEnding =
        manifestText->find("\r\n") != std::string::npos ? "\r\n" : "\n";
    std::string result;
    std::string section;
    bool mainSeen = false;
    for (const Line& line : lines) {
        if (const std::optional<std::string> header = HeaderName(line.text)) {
            section = *header;
            result += line.text + (line.ending.empty() ? defaultEnding : line.ending);
            const auto entries = added.find(section);
            if (entries != added.end()) {
                const std::string ending = line.ending.empty() ? defaultEnding : line.ending;
                for (const auto& [name, value] : entries->second)
                    result += name + "=" + value + ending;
                mainSeen = mainSeen || section == "Main";
                added.erase(entries);  // once, in the section's first header
            }
            continue;
        }
        // The old values go; everything else stays byte for byte.
        const std::string name = EntryName(line.text);
        const bool replaced = (section == "Main" && name == "serial") ||
                              (listed.count(section) != 0 && (name == "size" || name == "sha256"));
        if (!replaced) result += line.text + line.ending;
    }
    if (!mainSeen) {
        error = manifestFile.string() + " has no [Main] section";
        return false;
    }
    if (!WriteReplacing(manifestFile, result, 0644) ||
        !WriteReplacing(site / "autoupdate.txt.sig", Sign(result, secretKey) + "\n", 0644)) {
        error = "cannot write the manifest or its signature in " + site.string();
        return false;
    }
    out << "published " << manifestFile.string() << " with serial " << serial << ", " << count
        << " files, signed\n";
    return true;
}
