// The rules a manifest keeps so that every reader takes it the same way and a
// client accepts it: what a file entry, a version, a module type, a size and
// a hash may be, which lines the reader would cut, and which sections it never
// reads. The update run applies them to what it receives; publish refuses to
// sign anything that breaks them. They live here once, so the two can never
// read one manifest differently.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniFile;

// The manifest's "moduletype": which catalogue table records the file.
enum class ModuleType : int { System = 0, Detector = 1, Recognizer = 2 };

// Every byte is 0-9 (true for "").
bool AllDigits(std::string_view text);

// One to three decimal pieces separated by dots; empty pieces are skipped,
// missing ones count as 0, pieces saturate at 10^18. Nothing when malformed
// (no piece, a fourth piece, any byte but digits and dots).
std::optional<std::array<long long, 3>> ParseVersion(std::string_view text);
bool IsWellFormedVersion(std::string_view text);

// 0, 1 or 2; nothing for any other number.
std::optional<ModuleType> ToModuleType(int number);
// Whether entries of type carry "author" and "modulename" (detectors and
// recognizers; system components have neither).
bool HasAuthorAndName(ModuleType type);

// The number (from 1) of the first line the manifest reader would cut because
// it is longer than IniFile::maxLineBytes, or 0 when there is none.
int FirstOverlongLine(std::string_view bytes);

// A delta patch a file entry offers ("patch1", "patch1-from", "patch1-size",
// "patch1-sha256"): the file at name turns the version whose SHA-256 is from
// into this entry's file.
struct PatchOffer {
    std::string name;  // relative to the manifest, like a file name
    std::string from;
    std::string size;
    std::string sha256;
};
// Patches one entry may offer: patch1 to patch8.
inline constexpr int maxPatchOffers = 8;

// What a manifest says of one file, read exactly as the update run reads it.
struct ManifestEntry {
    std::string section;  // "File1", "File2", ...
    std::string filename;
    std::string version;
    std::string savedpath;
    int moduletype = 0;      // as GetValueInt reads it: missing is 0
    std::string author;      // types 1 and 2 only
    std::string modulename;  // types 1 and 2 only
    std::string size;        // as written; empty when not given
    std::string sha256;
    // "yes": a signed manifest sends desktops back to this version (empty: no).
    std::string downgrade;
    std::vector<PatchOffer> patches;  // patch1.. as long as they are given
};

// Section "File<number>" of manifest.
ManifestEntry ReadEntry(IniFile& manifest, int number);

// How an entry breaks the rules. The update run decides what each means:
// a malformed version leaves just that entry out, as the design does; every
// other fault ends the check pass. Publish refuses them all.
enum class EntryFault {
    None,
    ModuleType,
    FileName,
    Version,
    Size,
    Sha256,
    Downgrade,          // downgrade is neither yes nor no
    Patch,              // a patch offer is malformed, or the file is not vouched for
    UnsignedDowngrade,  // downgrade=yes where nothing is signed
    NotVouched
};
struct EntryVerdict {
    EntryFault fault = EntryFault::None;
    std::string reason;  // names the section and the value; empty with None
};
// signedManifest: size and sha256 must both be given, and only then may
// downgrade be yes.
EntryVerdict CheckEntry(const ManifestEntry& entry, bool signedManifest);
// The entry's size when given as a number; nothing otherwise.
std::optional<uint64_t> EntrySize(const ManifestEntry& entry);
// The patch's size, by the same rule.
std::optional<uint64_t> PatchSize(const PatchOffer& offer);

// The numbers n of 1 to count whose section "File<n>" the manifest holds, as
// the reader formats them, ascending: the entries a run can read. However
// large count is, this costs what the manifest's own sections cost.
std::vector<int> ListedFileSections(const IniFile& manifest, int count);

// Sections that look like file sections ("File" and digits) but are not one of
// "File1" to "File<count>" as the reader formats them: a reader never reads
// them, so whatever they hold is never checked, installed or vouched for.
std::vector<std::string> UnreadFileSections(const IniFile& manifest, int count);

// Whether the entry asks, validly, to send desktops back to its version.
bool IsDowngrade(const ManifestEntry& entry);
