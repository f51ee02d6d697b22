// zstd with the old file as prefix: long-distance matching over a window
// that covers both files.
#include "delta/zstd_patch.h"

#include <zstd.h>

#include <algorithm>
#include <memory>

namespace {

constexpr int patchLevel = 19;
constexpr int smallestWindowLog = 10;
// zstd's largest window on 64-bit systems (2 GiB).
constexpr int largestWindowLog = 31;

// A window that reaches from any byte of the result back over the whole base.
int WindowLogFor(std::uint64_t bytes) {
    int log = smallestWindowLog;
    while (log < largestWindowLog && (std::uint64_t{1} << log) < bytes) ++log;
    return log;
}

struct FreeCompressor {
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};
struct FreeDecompressor {
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

}  // namespace

std::optional<std::string> MakePatch(std::string_view base, std::string_view target,
                                     std::string& error) {
    if (base.size() > zstd_patch::maxFileBytes || target.size() > zstd_patch::maxFileBytes) {
        error =
            "files over " + std::to_string(zstd_patch::maxFileBytes >> 20) + " MiB are sent whole";
        return std::nullopt;
    }
    const std::unique_ptr<ZSTD_CCtx, FreeCompressor> context(ZSTD_createCCtx());
    const int windowLog = WindowLogFor(base.size() + target.size());
    std::string patch(ZSTD_compressBound(target.size()), '\0');
    const bool set =
        context &&
        !ZSTD_isError(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_compressionLevel, patchLevel)) &&
        !ZSTD_isError(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_windowLog, windowLog)) &&
        !ZSTD_isError(
            ZSTD_CCtx_setParameter(context.get(), ZSTD_c_enableLongDistanceMatching, 1)) &&
        !ZSTD_isError(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_contentSizeFlag, 1)) &&
        !ZSTD_isError(ZSTD_CCtx_refPrefix(context.get(), base.data(), base.size()));
    const size_t written = set ? ZSTD_compress2(context.get(), patch.data(), patch.size(),
                                                target.data(), target.size())
                               : 0;
    if (!set || ZSTD_isError(written)) {
        error = std::string("zstd cannot make the patch: ") +
                (set ? ZSTD_getErrorName(written) : "no compression context");
        return std::nullopt;
    }
    patch.resize(written);
    return patch;
}

std::optional<std::string> ApplyPatch(std::string_view base, std::string_view patch,
                                      std::uint64_t size, std::string& error) {
    if (base.size() > zstd_patch::maxFileBytes || size > zstd_patch::maxFileBytes) {
        error = "files over " + std::to_string(zstd_patch::maxFileBytes >> 20) +
                " MiB are fetched whole";
        return std::nullopt;
    }
    // One frame, saying the signed size: nothing decodes past it.
    if (ZSTD_findFrameCompressedSize(patch.data(), patch.size()) != patch.size()) {
        error = "the patch is not one zstd frame";
        return std::nullopt;
    }
    const unsigned long long declared = ZSTD_getFrameContentSize(patch.data(), patch.size());
    if (declared != size) {
        error = declared == ZSTD_CONTENTSIZE_UNKNOWN || declared == ZSTD_CONTENTSIZE_ERROR
                    ? "the patch does not say what it makes"
                    : "the patch makes " + std::to_string(declared) +
                          " bytes where the manifest vouches for " + std::to_string(size);
        return std::nullopt;
    }
    const std::unique_ptr<ZSTD_DCtx, FreeDecompressor> context(ZSTD_createDCtx());
    const bool set = context &&
                     !ZSTD_isError(ZSTD_DCtx_setParameter(context.get(), ZSTD_d_windowLogMax,
                                                          WindowLogFor(base.size() + size))) &&
                     !ZSTD_isError(ZSTD_DCtx_refPrefix(context.get(), base.data(), base.size()));
    std::string result(size, '\0');
    const size_t made = set ? ZSTD_decompressDCtx(context.get(), result.data(), result.size(),
                                                  patch.data(), patch.size())
                            : 0;
    if (!set || ZSTD_isError(made) || made != size) {
        error = std::string("the patch does not decode: ") + (!set ? "no decompression context"
                                                              : ZSTD_isError(made)
                                                                  ? ZSTD_getErrorName(made)
                                                                  : "it made another size");
        return std::nullopt;
    }
    return result;
}
