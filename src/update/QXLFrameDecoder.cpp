#include "update/QXLFrameDecoder.h"

#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>
#include <zstd.h>

#include "base/QXText.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "update/QXChecksum.h"

namespace {

struct DCtxFree {
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

// The decoder refuses windows beyond this (zstd's default limit): a frame cannot make it
// reserve more memory than the largest file the server makes frames for.
constexpr int kWindowLogMax = 27;

std::wstring ZstdError(std::size_t code) {
    return L"zstd: " + qxplat::FromNarrow(ZSTD_getErrorName(code));
}

// True when the file at path has the SHA-256 expected.
bool HasDigest(const std::wstring& path, const qxplat::Sha256Digest& expected) {
    const qxplat::FilePtr in = qxplat::OpenShared(path, "rb");
    qxplat::Sha256 sha;
    std::vector<char> block(1 << 16);
    std::size_t n = 0;
    while (in && (n = std::fread(block.data(), 1, block.size(), in.get())) > 0)
        sha.Update(block.data(), n);
    qxplat::Sha256Digest digest{};
    return in && !std::ferror(in.get()) && sha.Finish(digest) && digest == expected;
}

// The decoding proper, writing out and hashing what it writes; empty text when the frame
// ended whole.
std::wstring Inflate(std::FILE* in, std::string_view base, std::FILE* out, CQXChecksum& checksum,
                     std::optional<qxplat::Sha256>& sha, std::int64_t limit, std::int64_t& size,
                     std::string& head) {
    std::unique_ptr<ZSTD_DCtx, DCtxFree> context(ZSTD_createDCtx());
    if (!context)
        return L"zstd: out of memory";
    ZSTD_DCtx* d = context.get();
    std::size_t r = ZSTD_DCtx_setParameter(d, ZSTD_d_windowLogMax, kWindowLogMax);
    if (!ZSTD_isError(r) && !base.empty())
        r = ZSTD_DCtx_refPrefix(d, base.data(), base.size());
    if (ZSTD_isError(r))
        return ZstdError(r);
    std::vector<char> input(ZSTD_DStreamInSize()), output(ZSTD_DStreamOutSize());
    std::size_t pending = 1; // ZSTD_decompressStream's hint: 0 once a frame is whole
    for (;;) {
        const std::size_t read = std::fread(input.data(), 1, input.size(), in);
        if (read == 0)
            return std::ferror(in) ? L"the frame cannot be read"
                   : pending != 0  ? L"the frame ends early"
                                   : L"";
        ZSTD_inBuffer from{input.data(), read, 0};
        // A full output block may leave decoded bytes inside the decoder: call it again.
        for (bool full = false; from.pos < from.size || (full && pending != 0);) {
            if (pending == 0)
                return L"bytes follow the frame";
            ZSTD_outBuffer to{output.data(), output.size(), 0};
            pending = ZSTD_decompressStream(d, &to, &from);
            if (ZSTD_isError(pending))
                return ZstdError(pending);
            full = to.pos == to.size;
            if (size == 0 && to.pos > 0)
                head.assign(output.data(), std::min<std::size_t>(to.pos, 4));
            size += static_cast<std::int64_t>(to.pos);
            if (size > limit)
                return L"the result is longer than the list says";
            if (std::fwrite(output.data(), 1, to.pos, out) != to.pos)
                return L"the result cannot be written";
            checksum.Update(output.data(), to.pos);
            if (sha)
                sha->Update(output.data(), to.pos);
        }
    }
}

} // namespace

std::wstring CQXLFrameDecoder::Decode(const std::wstring& framePath,
                                      const qxplat::Sha256Digest& frameSha256,
                                      std::string_view base, const SQXLFrameTarget& target,
                                      std::string& head) {
    if (!HasDigest(framePath, frameSha256))
        return L"the frame's SHA-256 differs from the list";
    const qxplat::FilePtr in = qxplat::OpenShared(framePath, "rb");
    qxplat::FilePtr out = qxplat::OpenShared(target.path, "wb");
    if (!in || !out)
        return L"the frame or the result cannot be opened";
    CQXChecksum checksum;
    std::optional<qxplat::Sha256> sha;
    if (target.sha256)
        sha.emplace();
    std::int64_t size = 0;
    std::wstring failure =
        Inflate(in.get(), base, out.get(), checksum, sha, target.size, size, head);
    if (std::fclose(out.release()) != 0 && failure.empty())
        failure = L"the result cannot be written";
    qxplat::Sha256Digest digest{};
    if (failure.empty() && (size != target.size || checksum.Value() != target.checksum))
        failure = L"the result differs from the list";
    else if (failure.empty() && sha && (!sha->Finish(digest) || digest != *target.sha256))
        failure = L"the result differs from the signed list";
    if (!failure.empty()) {
        std::error_code ignored;
        std::filesystem::remove(QXFsPath(target.path), ignored);
    }
    return failure;
}
