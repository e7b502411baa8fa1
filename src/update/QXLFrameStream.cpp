#include "update/QXLFrameStream.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <zstd.h>

#include "base/QXText.h"
#include "platform/Text.h"

namespace {

// The decoder refuses windows beyond this (zstd's default limit): a frame cannot make it
// reserve more memory than the largest file the server makes frames for.
constexpr int kWindowLogMax = 27;

std::wstring ZstdError(std::size_t code) {
    return L"zstd: " + qxplat::FromNarrow(ZSTD_getErrorName(code));
}

} // namespace

void CQXLFrameStream::DCtxFree::operator()(ZSTD_DCtx_s* context) const { ZSTD_freeDCtx(context); }

CQXLFrameStream::CQXLFrameStream(std::string_view base, const SQXLFrameTarget& target)
    : m_base(base), m_target(target) {}

CQXLFrameStream::~CQXLFrameStream() {
    if (!m_done)
        Fail(L"");
}

std::wstring CQXLFrameStream::Fail(std::wstring reason) {
    m_out.reset();
    std::error_code ignored;
    std::filesystem::remove(QXFsPath(m_target.path), ignored);
    m_failure = reason;
    return reason;
}

std::wstring CQXLFrameStream::Begin() {
    m_done = false;
    m_failure.clear();
    m_checksum = CQXChecksum();
    m_sha.reset();
    if (m_target.sha256)
        m_sha.emplace();
    m_size = 0;
    m_pending = 1;
    m_head.clear();
    m_out.reset();
    // A fresh context: the prefix of a patch holds for one frame only.
    m_context.reset(ZSTD_createDCtx());
    if (!m_context)
        return Fail(L"zstd: out of memory");
    std::size_t r = ZSTD_DCtx_setParameter(m_context.get(), ZSTD_d_windowLogMax, kWindowLogMax);
    if (!ZSTD_isError(r) && !m_base.empty())
        r = ZSTD_DCtx_refPrefix(m_context.get(), m_base.data(), m_base.size());
    if (ZSTD_isError(r))
        return Fail(ZstdError(r));
    m_output.resize(ZSTD_DStreamOutSize());
    if (!(m_out = qxplat::OpenShared(m_target.path, "wb")))
        return Fail(L"the result cannot be opened");
    return L"";
}

std::wstring CQXLFrameStream::Write(const char* bytes, std::size_t size) {
    if (!m_out)
        return L"the result is not open";
    ZSTD_inBuffer from{bytes, size, 0};
    // A full output block may leave decoded bytes inside the decoder: call it again.
    for (bool full = false; from.pos < from.size || (full && m_pending != 0);) {
        if (m_pending == 0)
            return Fail(L"bytes follow the frame");
        ZSTD_outBuffer to{m_output.data(), m_output.size(), 0};
        m_pending = ZSTD_decompressStream(m_context.get(), &to, &from);
        if (ZSTD_isError(m_pending))
            return Fail(ZstdError(m_pending));
        full = to.pos == to.size;
        if (m_size == 0 && to.pos > 0)
            m_head.assign(m_output.data(), std::min<std::size_t>(to.pos, 4));
        m_size += static_cast<std::int64_t>(to.pos);
        if (m_size > m_target.size)
            return Fail(L"the result is longer than the list says");
        if (std::fwrite(m_output.data(), 1, to.pos, m_out.get()) != to.pos)
            return Fail(L"the result cannot be written");
        m_checksum.Update(m_output.data(), to.pos);
        if (m_sha)
            m_sha->Update(m_output.data(), to.pos);
    }
    return L"";
}

std::wstring CQXLFrameStream::End() {
    if (!m_out)
        return L"the result is not open";
    if (m_pending != 0)
        return Fail(L"the frame ends early");
    // The last buffered bytes reach the disk here: a failed close is a failed write.
    if (std::fclose(m_out.release()) != 0)
        return Fail(L"the result cannot be written");
    qxplat::Sha256Digest digest{};
    if (m_size != m_target.size || m_checksum.Value() != m_target.checksum)
        return Fail(L"the result differs from the list");
    if (m_sha && (!m_sha->Finish(digest) || digest != *m_target.sha256))
        return Fail(L"the result differs from the signed list");
    m_context.reset();
    m_done = true;
    return L"";
}
