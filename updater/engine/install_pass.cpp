// The install pass: each pending file fetched into the run's own folder,
// checked against what the manifest vouches for, put in place and recorded at
// once; the first failure ends the pass with earlier files kept.
#include <algorithm>

#include "delta/zstd_patch.h"
#include "engine/catalog_rows.h"
#include "engine/file_descriptor.h"
#include "engine/engine_texts.h"
#include "engine/http_request.h"
#include "engine/partial_downloads.h"
#include "engine/update_engine.h"
#include "engine/update_owner.h"
#include "manifest/text_pieces.h"
#include "trust/module_path.h"

namespace {

// A file whose size and hash are vouched for can be continued: whatever
// bytes come, the whole is checked before it installs.
bool Resumable(const UpdateItem& item) {
    return item.size && *item.size > 0 && !item.sha256.empty();
}

}  // namespace

int UpdateEngine::InstallPass(const std::string& baseUrl, const std::filesystem::path& tempFolder,
                              CatalogRows& rows) {
    const std::filesystem::path programFolder = ProgramFolder();
    const std::string downloading = owner->Translate(engine_text::downloading);
    std::optional<PartialDownloads> partial;
    if (std::any_of(pendingItems.begin(), pendingItems.end(), Resumable)) {
        std::string error;
        partial = PartialDownloads::Open(programFolder, error);
        if (!partial) {
            log.Complain(error);
            return UpdateModuleFailed;
        }
    }
    for (const UpdateItem& item : pendingItems) {
        const std::filesystem::path relative = *ModuleRelativePath(item.filename);
        const std::filesystem::path destination = programFolder / relative;
        // Subfolders of the name stay out of the private folder: one flat level.
        std::filesystem::path temporary = tempFolder / relative.filename();
        owner->SetStatusText(downloading + item.filename);
        // A patch from the installed version first; any doubt, the whole file.
        const bool patched = Resumable(item) && FetchPatched(item, baseUrl, destination, temporary);
        const int failed = patched           ? UpdateSucceeded
                           : Resumable(item) ? FetchResuming(item, baseUrl, *partial, temporary)
                                             : Fetch(item, baseUrl, temporary);
        if (failed) return failed;
        const bool installed = InstallFile(destination, temporary);
        if (partial && installed) partial->Forget(item.sha256);
        if (!installed) {
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

std::optional<PatchOffer> UpdateEngine::PatchFor(const UpdateItem& item,
                                                 const std::filesystem::path& installed) const {
    std::error_code ec;
    if (item.patches.empty() || !std::filesystem::is_regular_file(installed, ec) ||
        std::filesystem::file_size(installed, ec) > zstd_patch::maxFileBytes ||
        *item.size > zstd_patch::maxFileBytes)
        return std::nullopt;
    const std::optional<std::string> holds = Sha256OfFile(installed);
    for (const PatchOffer& offer : item.patches)
        if (holds && AsciiLower(offer.from) == *holds && PatchSize(offer) &&
            *PatchSize(offer) < *item.size)
            return offer;
    return std::nullopt;
}

bool UpdateEngine::FetchPatched(const UpdateItem& item, const std::string& baseUrl,
                                const std::filesystem::path& installed,
                                const std::filesystem::path& temporary) {
    const std::optional<PatchOffer> offer = PatchFor(item, installed);
    if (!offer) return false;
    const std::filesystem::path patchFile = temporary.string() + ".patch";
    std::string why;
    const uint64_t patchSize = *PatchSize(*offer);
    std::unique_ptr<HttpRequest> request =
        transfer.OpenUrl(baseUrl + ModuleRelativePath(offer->name)->generic_string());
    if (!request || !transfer.DownloadToFile(*request, patchFile, patchSize, *owner)) {
        why = log.Reason();
    } else if (std::filesystem::file_size(patchFile) != patchSize ||
               Sha256OfFile(patchFile) != AsciiLower(offer->sha256)) {
        why = "its bytes differ from the ones the manifest vouches for";
    } else {
        const std::optional<std::string> base = ReadWholeFile(installed);
        const std::optional<std::string> patch = ReadWholeFile(patchFile);
        const std::optional<std::string> made =
            base && patch ? ApplyPatch(*base, *patch, *item.size, why) : std::nullopt;
        FileDescriptor out = made ? CreateNewFileNoFollow(temporary) : FileDescriptor();
        if (made && (!out.IsOpen() || !out.WriteAll(made->data(), made->size()) || !out.Close()))
            why = "cannot write " + temporary.string();
        else if (made && Sha256OfFile(temporary) != AsciiLower(item.sha256))
            why = "what it makes differs from the file the manifest vouches for";
    }
    request.reset();
    std::error_code ec;
    std::filesystem::remove(patchFile, ec);
    if (why.empty()) return true;
    // Any doubt about the patch costs only bytes: the whole file comes instead.
    std::filesystem::remove(temporary, ec);
    log.Clear();
    RunLog::Warn(item.filename + ": the patch " + offer->name + " cannot be used (" + why +
                 "); fetching the whole file");
    return false;
}

int UpdateEngine::FetchResuming(const UpdateItem& item, const std::string& baseUrl,
                                const PartialDownloads& partial, std::filesystem::path& file) {
    const std::string url = baseUrl + ModuleRelativePath(item.filename)->generic_string();
    const uint64_t size = *item.size;
    file = partial.PathOf(item.sha256);
    // What an earlier run kept; nothing kept is 0 bytes.
    const PartialDownloads::Kept kept =
        partial.Find(item.sha256).value_or(PartialDownloads::Kept{});
    // All of it came before the run ended: it only needs checking.
    if (kept.bytes == size && Sha256OfFile(file) == AsciiLower(item.sha256)) return UpdateSucceeded;
    const bool goOn = kept.bytes > 0 && kept.bytes < size;
    if (!goOn) partial.Forget(item.sha256);
    std::unique_ptr<HttpRequest> request =
        goOn ? transfer.OpenFrom(url, kept.bytes, kept.validator) : transfer.OpenUrl(url);
    if (!request) return UpdateRequestFailed;
    const bool resumed = goOn && request->Status() == 206;
    const uint64_t from = resumed ? kept.bytes : 0;
    const std::string continues = "bytes " + std::to_string(from) + "-" + std::to_string(size - 1) +
                                  "/" + std::to_string(size);
    const std::optional<uint64_t> announced = request->ContentLength();
    if (resumed ? request->ContentRange() != continues : announced && *announced != size) {
        log.Complain(
            item.filename + ": the server sends " +
            (resumed ? "\"" + request->ContentRange() + "\" where " + continues + " was asked for"
                     : std::to_string(*announced) + " bytes, but the manifest vouches for " +
                           std::to_string(size)) +
            ": this is not the file that was published");
        partial.Forget(item.sha256);
        return UpdateModuleFailed;
    }
    // A weak ETag cannot guard a range; Last-Modified then does, if given.
    const std::string& etag = request->ETag();
    const std::string validator =
        !etag.empty() && etag.rfind("W/", 0) != 0 ? etag : request->LastModified();
    FileDescriptor out = partial.Continue(item.sha256, validator, !resumed);
    if (!out.IsOpen()) {
        log.Complain(item.filename + ": cannot write " + file.string());
        return UpdateModuleFailed;
    }
    const bool received = transfer.AppendTo(*request, out, item.filename, size - from, *owner);
    request.reset();
    // Without a validator nothing can be continued safely: start over next time.
    if (!received && validator.empty()) partial.Forget(item.sha256);
    if (!received) return UpdateModuleFailed;
    // Bytes of two versions never install: the whole is checked.
    if (!MatchesManifest(item, file)) {
        partial.Forget(item.sha256);
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
