// The manifest rules: versions, module types, file names, sizes, hashes, long lines.
#include "trust/manifest_rules.h"

#include <algorithm>
#include <limits>

#include "manifest/ini_file.h"
#include "manifest/text_pieces.h"
#include "trust/module_path.h"
#include "trust/signature.h"

namespace {

// Version pieces saturate here: no real version comes near it, and a longer
// run of digits must not overflow.
constexpr long long versionPieceLimit = 1000000000000000000LL;
constexpr size_t versionPieces = 3;
// A size is a byte count of at most 19 digits, which always fits 64 bits.
constexpr size_t maxSizeDigits = 19;
constexpr std::string_view fileSectionPrefix = "File";

long long PieceValue(std::string_view digits) {
    long long value = 0;
    for (char c : digits)
        value = value >= versionPieceLimit / 10 ? versionPieceLimit : value * 10 + (c - '0');
    return value;
}

// "0 (system component), 1 (detector), 2 (recognizer)".
std::string ModuleTypeList() {
    std::string list;
    for (const auto& [type, name] : {std::pair{ModuleType::System, "system component"},
                                     std::pair{ModuleType::Detector, "detector"},
                                     std::pair{ModuleType::Recognizer, "recognizer"}})
        list +=
            (list.empty() ? "" : ", ") + std::to_string(static_cast<int>(type)) + " (" + name + ")";
    return list;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

bool AllDigits(std::string_view text) {
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

std::optional<std::array<long long, 3>> ParseVersion(std::string_view text) {
    std::array<long long, versionPieces> parts{};
    size_t count = 0;
    for (const std::string& piece : NonEmptyPieces(std::string(text), '.')) {
        if (count == versionPieces || !AllDigits(piece)) return std::nullopt;
        parts[count++] = PieceValue(piece);
    }
    if (count == 0) return std::nullopt;
    return parts;
}

bool IsWellFormedVersion(std::string_view text) {
    return ParseVersion(text).has_value();
}

std::optional<ModuleType> ToModuleType(int number) {
    if (number < static_cast<int>(ModuleType::System) ||
        number > static_cast<int>(ModuleType::Recognizer))
        return std::nullopt;
    return static_cast<ModuleType>(number);
}

bool HasAuthorAndName(ModuleType type) {
    return type == ModuleType::Detector || type == ModuleType::Recognizer;
}

int FirstOverlongLine(std::string_view bytes) {
    int number = 1;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        // The reader drops a carriage return right before the line feed.
        size_t length = end - start;
        if (end < bytes.size() && length > 0 && bytes[end - 1] == '\r') --length;
        if (length > IniFile::maxLineBytes) return number;
        start = end + 1;
        ++number;
    }
    return 0;
}

ManifestEntry ReadEntry(IniFile& manifest, int number) {
    ManifestEntry entry;
    entry.section = std::string(fileSectionPrefix) + std::to_string(number);
    entry.filename = manifest.GetValue(entry.section, "filename");
    entry.version = manifest.GetValue(entry.section, "version");
    entry.savedpath = manifest.GetValue(entry.section, "savedpath");
    entry.moduletype = manifest.GetValueInt(entry.section, "moduletype");
    // Only detectors and recognizers carry an author and a module name.
    const std::optional<ModuleType> type = ToModuleType(entry.moduletype);
    if (type && HasAuthorAndName(*type)) {
        entry.author = manifest.GetValue(entry.section, "author");
        entry.modulename = manifest.GetValue(entry.section, "modulename");
    }
    entry.size = manifest.GetValue(entry.section, "size");
    entry.sha256 = manifest.GetValue(entry.section, "sha256");
    entry.downgrade = manifest.GetValue(entry.section, "downgrade");
    for (int k = 1; k <= maxPatchOffers; ++k) {
        const std::string key = "patch" + std::to_string(k);
        PatchOffer offer{manifest.GetValue(entry.section, key),
                         manifest.GetValue(entry.section, key + "-from"),
                         manifest.GetValue(entry.section, key + "-size"),
                         manifest.GetValue(entry.section, key + "-sha256")};
        if (offer.name.empty() && offer.from.empty() && offer.size.empty() && offer.sha256.empty())
            break;
        entry.patches.push_back(std::move(offer));
    }
    return entry;
}

namespace {

std::optional<uint64_t> ByteCount(const std::string& text) {
    if (text.empty() || !AllDigits(text) || text.size() > maxSizeDigits) return std::nullopt;
    return std::stoull(text);
}

}  // namespace

std::optional<uint64_t> EntrySize(const ManifestEntry& entry) {
    return ByteCount(entry.size);
}

std::optional<uint64_t> PatchSize(const PatchOffer& offer) {
    return ByteCount(offer.size);
}

EntryVerdict CheckEntry(const ManifestEntry& entry, bool signedManifest) {
    const std::string where = "[" + entry.section + "] ";
    if (!ToModuleType(entry.moduletype))
        return {EntryFault::ModuleType, where + "moduletype " + std::to_string(entry.moduletype) +
                                            " is none of " + ModuleTypeList()};
    // A name that leaves the program folder, or one that would replace the
    // catalogue, is never a module.
    const std::optional<std::filesystem::path> relative = ModuleRelativePath(entry.filename);
    if (!relative)
        return {EntryFault::FileName, where + "filename " + Quoted(entry.filename) +
                                          " is not a relative path inside the program folder"};
    if (NamesCatalogueByName(*relative))
        return {EntryFault::FileName,
                where + "filename " + Quoted(entry.filename) + " names the module catalogue"};
    if (!IsWellFormedVersion(entry.version))
        return {EntryFault::Version, where + "version " + Quoted(entry.version) +
                                         " is not one to three dot-separated numbers"};
    if (!entry.size.empty() && !EntrySize(entry))
        return {EntryFault::Size, where + "size " + Quoted(entry.size) + " is not a byte count"};
    if (!entry.sha256.empty() && !IsSha256Text(entry.sha256))
        return {EntryFault::Sha256, where + "sha256 is not 64 hex digits"};
    if (!entry.downgrade.empty() && entry.downgrade != "yes" && entry.downgrade != "no")
        return {EntryFault::Downgrade,
                where + "downgrade " + Quoted(entry.downgrade) + " is neither yes nor no"};
    // Sending desktops back is a publisher's decision, never a network's.
    if (IsDowngrade(entry) && !signedManifest)
        return {EntryFault::UnsignedDowngrade,
                where + entry.filename +
                    ": downgrade=yes is taken only from a signed manifest (tarvex-cli publish)"};
    for (size_t k = 0; k < entry.patches.size(); ++k) {
        const PatchOffer& offer = entry.patches[k];
        const std::string name = where + "patch" + std::to_string(k + 1);
        const std::optional<std::filesystem::path> patchPath = ModuleRelativePath(offer.name);
        if (!patchPath || NamesCatalogueByName(*patchPath))
            return {EntryFault::Patch,
                    name + " " + Quoted(offer.name) + " is not a relative path inside the site"};
        if (!IsSha256Text(offer.from) || !IsSha256Text(offer.sha256))
            return {EntryFault::Patch, name + "-from and -sha256 must be 64 hex digits"};
        if (!PatchSize(offer))
            return {EntryFault::Patch,
                    name + "-size " + Quoted(offer.size) + " is not a byte count"};
    }
    if (signedManifest && (entry.size.empty() || entry.sha256.empty()))
        return {EntryFault::NotVouched,
                where + entry.filename + ": a signed manifest must give size and sha256"};
    return {};
}

bool IsDowngrade(const ManifestEntry& entry) {
    return entry.downgrade == "yes";
}

namespace {

// n when name is "File<n>" with n formatted as the reader formats it (no
// sign, no leading zero, within int); nothing otherwise.
std::optional<int> FileSectionNumber(const std::string& name) {
    if (name.rfind(fileSectionPrefix, 0) != 0) return std::nullopt;
    const std::string number = name.substr(fileSectionPrefix.size());
    if (number.empty() || !AllDigits(number) || number.front() == '0' || number.size() > 10)
        return std::nullopt;
    const long long value = std::stoll(number);
    if (value > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

std::vector<int> ListedFileSections(const IniFile& manifest, int count) {
    std::vector<int> listed;
    for (const std::string& name : manifest.SectionNames()) {
        const std::optional<int> number = FileSectionNumber(name);
        if (number && *number <= count) listed.push_back(*number);
    }
    std::sort(listed.begin(), listed.end());
    return listed;
}

std::vector<std::string> UnreadFileSections(const IniFile& manifest, int count) {
    std::vector<std::string> unread;
    for (const std::string& name : manifest.SectionNames()) {
        if (name.rfind(fileSectionPrefix, 0) != 0) continue;
        const std::string number = name.substr(fileSectionPrefix.size());
        if (number.empty() || !AllDigits(number)) continue;
        const std::optional<int> listed = FileSectionNumber(name);
        if (!listed || *listed > count) unread.push_back(name);
    }
    return unread;
}
