// The install pass: each pending file fetched into the run's own folder,
// checked against what the manifest vouches for, put in place and recorded at
// once; the first failure ends the pass with earlier files kept.
#include <algorithm>

#include "engine/catalog_rows.h"
#include "engine/engine_texts.h"
#include "engine/http_request.h"
#include "engine/update_engine.h"
#include "engine/update_owner.h"
#include "manifest/text_pieces.h"
#include "trust/module_path.h"

int UpdateEngine::InstallPass(const std::string& baseUrl, const std::filesystem::path& tempFolder,
                              CatalogRows& rows) {
    const std::filesystem::path programFolder = ProgramFolder();
    const std::string downloading = owner->Translate(engine_text::downloading);
    for (const UpdateItem& item : pendingItems) {
        const std::filesystem::path relative = *ModuleRelativePath(item.filename);
        const std::filesystem::path destination = programFolder / relative;
        // Subfolders of the name stay out of the private folder: one flat level.
        const std::filesystem::path temporary = tempFolder / relative.filename();
        owner->SetStatusText(downloading + item.filename);
        if (const int failed = Fetch(item, baseUrl, temporary)) return failed;
        if (!InstallFile(destination, temporary)) {
            log.Complain(item.filename + ": cannot be put in place at " + destination.string() +
                         " (is the main program running and holding it open?)");
            return UpdateNotCompleted;
        }
        rows.Record(item);
    }
    return UpdateSucceeded;
}

int UpdateEngine::Fetch(const UpdateItem& item, const std::string& baseUrl,
                        const std::filesystem::path& temporary) {
    const std::filesystem::path relative = *ModuleRelativePath(item.filename);
    std::unique_ptr<HttpRequest> request = transfer.OpenUrl(baseUrl + relative.generic_string());
    if (!request) return UpdateRequestFailed;
    // The vouched-for size decides before a byte is read: other bytes are not
    // the file that was published.
    const std::optional<uint64_t> announced = request->ContentLength();
    if (item.size && announced && *announced != *item.size) {
        log.Complain(item.filename + ": the server sends " + std::to_string(*announced) +
                     " bytes, but the manifest vouches for " + std::to_string(*item.size) +
                     ": this is not the file that was published");
        return UpdateModuleFailed;
    }
    const bool downloaded =
        transfer.DownloadToFile(*request, temporary,
                                std::min(environment.limits.maxModuleBytes,
                                         item.size.value_or(environment.limits.maxModuleBytes)),
                                *owner);
    request.reset();
    if (!downloaded) return UpdateModuleFailed;
    if (!MatchesManifest(item, temporary)) {
        std::error_code ec;
        std::filesystem::remove(temporary, ec);
        return UpdateModuleFailed;
    }
    return UpdateSucceeded;
}

bool UpdateEngine::MatchesManifest(const UpdateItem& item, const std::filesystem::path& file) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(file, ec);
    if (item.size && (ec || size != *item.size)) {
        log.Complain(item.filename + ": received " + std::to_string(size) +
                     " bytes, the manifest vouches for " + std::to_string(*item.size));
        return false;
    }
    if (!item.sha256.empty() && Sha256OfFile(file) != AsciiLower(item.sha256)) {
        log.Complain(item.filename + ": its SHA-256 differs from the one the manifest vouches for");
        return false;
    }
    return true;
}
