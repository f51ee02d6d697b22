// The manifest as the update run reads it: the INI reader over any bytes,
// then every rule applied to what it read (entries, unread sections, serial
// and expiry, over-long lines), and the plans of the check pass for every
// entry, gaps and files listed twice among them.
#include <cstdint>
#include <string>

#include "engine/entry_plans.h"
#include "manifest/ini_file.h"
#include "trust/manifest_rules.h"
#include "trust/manifest_stamp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    IniFile manifest("");
    manifest.LoadText(bytes);
    FirstOverlongLine(bytes);
    const int count = manifest.GetValueInt("Main", "filecount");
    // As many entries as a run would read, within reason for a fuzzer.
    for (int i = 1; i <= count && i <= 64; ++i) {
        const ManifestEntry entry = ReadEntry(manifest, i);
        CheckEntry(entry, true);
        CheckEntry(entry, false);
        EntrySize(entry);
    }
    UnreadFileSections(manifest, count);
    for (const bool signedSite : {false, true})
        PlanEntries(manifest, count, signedSite, nullptr, {});
    std::string error;
    ReadStamp(manifest, 1'800'000'000, error);
    return 0;
}
