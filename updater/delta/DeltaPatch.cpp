#include "delta/DeltaPatch.h"

#include <zstd.h>

#include <memory>

namespace delta {

namespace {

constexpr int kLevel = 19;
constexpr int kSmallestWindowLog = 20;
constexpr int kLargestWindowLog = 31;

// A window that covers the reference and the new bytes.
int windowLogFor(size_t bytes) {
    int log = kSmallestWindowLog;
    while (log < kLargestWindowLog && (size_t(1) << log) < bytes) ++log;
    return log;
}

}  // namespace

std::string makePatch(const std::string& oldBytes, const std::string& newBytes) {
    std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)> cctx(ZSTD_createCCtx(), &ZSTD_freeCCtx);
    if (!cctx) return std::string();
    const int windowLog = windowLogFor(oldBytes.size() + newBytes.size());
    if (ZSTD_isError(ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_compressionLevel, kLevel)) ||
        ZSTD_isError(ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_windowLog, windowLog)) ||
        ZSTD_isError(ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_enableLongDistanceMatching, 1)) ||
        ZSTD_isError(ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_checksumFlag, 1)) ||
        ZSTD_isError(ZSTD_CCtx_refPrefix(cctx.get(), oldBytes.data(), oldBytes.size()))) {
        return std::string();
    }
    std::string patch(ZSTD_compressBound(newBytes.size()), '\0');
    const size_t written =
        ZSTD_compress2(cctx.get(), &patch[0], patch.size(), newBytes.data(), newBytes.size());
    if (ZSTD_isError(written)) return std::string();
    patch.resize(written);
    return patch;
}

bool applyPatch(const std::string& oldBytes, const std::string& patch, size_t newSize,
                std::string& out, std::string& error) {
    out.clear();
    const unsigned long long declared = ZSTD_getFrameContentSize(patch.data(), patch.size());
    if (declared == ZSTD_CONTENTSIZE_ERROR || declared == ZSTD_CONTENTSIZE_UNKNOWN) {
        error = "the patch is not a zstd frame with its size";
        return false;
    }
    if (declared != newSize) {
        error = "the patch makes " + std::to_string(declared) + " bytes, not " +
                std::to_string(newSize);
        return false;
    }
    std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx*)> dctx(ZSTD_createDCtx(), &ZSTD_freeDCtx);
    if (!dctx ||
        ZSTD_isError(ZSTD_DCtx_setParameter(dctx.get(), ZSTD_d_windowLogMax, kLargestWindowLog)) ||
        ZSTD_isError(ZSTD_DCtx_refPrefix(dctx.get(), oldBytes.data(), oldBytes.size()))) {
        error = "zstd cannot start";
        return false;
    }
    out.assign(newSize, '\0');
    const size_t made = ZSTD_decompressDCtx(dctx.get(), out.empty() ? nullptr : &out[0], newSize,
                                            patch.data(), patch.size());
    if (ZSTD_isError(made) || made != newSize) {
        error = std::string("the patch does not apply: ") +
                (ZSTD_isError(made) ? ZSTD_getErrorName(made) : "short output");
        out.clear();
        return false;
    }
    return true;
}

}  // namespace delta
