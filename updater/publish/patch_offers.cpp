// Delta patches publish offers for a changed file.
#include "publish/patch_offers.h"

#include <optional>
#include <set>

#include "delta/zstd_patch.h"
#include "engine/file_descriptor.h"
#include "engine/replace_in_place.h"
#include "trust/file_text.h"
#include "trust/module_path.h"
#include "trust/signature.h"

bool AddPatchOffers(const std::filesystem::path& folder, const ManifestEntry& entry,
                    const std::filesystem::path& file, const std::string& sha256,
                    const std::vector<std::filesystem::path>& previous,
                    std::vector<std::pair<std::string, std::string>>& settings, std::ostream& out,
                    std::string& error) {
    std::optional<std::string> target;
    std::set<std::string> offered;
    int number = 0;
    for (const std::filesystem::path& earlier : previous) {
        const std::filesystem::path old = earlier / *ModuleRelativePath(entry.filename);
        const std::optional<std::string> oldSha =
            RegularFileProblem(old).empty() ? Sha256OfFile(old) : std::nullopt;
        if (!oldSha || *oldSha == sha256 || !offered.insert(*oldSha).second) continue;
        if (number == maxPatchOffers) break;
        std::error_code ec;
        if (std::filesystem::file_size(old, ec) > zstd_patch::maxFileBytes ||
            std::filesystem::file_size(file, ec) > zstd_patch::maxFileBytes)
            continue;
        if (!target) target = ReadWholeFile(file);
        const std::optional<std::string> base = ReadWholeFile(old);
        if (!target || !base) {
            error = "cannot read " + (target ? old : file).string();
            return false;
        }
        const std::optional<std::string> patch = MakePatch(*base, *target, error);
        if (!patch) return false;
        if (patch->size() >= target->size()) continue;  // the whole file is no larger
        const std::string name =
            "patches/" + sha256.substr(0, 16) + "-from-" + oldSha->substr(0, 16) + ".zst";
        std::filesystem::create_directories(folder / "patches", ec);
        if (!ReplaceInPlace(folder / name, 0644, *patch)) {
            error = "cannot write " + (folder / name).string();
            return false;
        }
        const std::string key = "patch" + std::to_string(++number);
        settings.push_back({key, name});
        settings.push_back({key + "-from", *oldSha});
        settings.push_back({key + "-size", std::to_string(patch->size())});
        settings.push_back({key + "-sha256", *Sha256OfFile(folder / name)});
        out << entry.filename << ": patch from " << earlier.string() << " " << patch->size()
            << " bytes, "
            << static_cast<int>(100.0 * static_cast<double>(patch->size()) /
                                    static_cast<double>(target->size()) +
                                0.5)
            << " % of the file\n";
    }
    return true;
}
