#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Crypto.h"
#include "platform/Files.h"
#include "update/QXChecksum.h"
#include "update/QXLBodySink.h"
#include "update/QXLFrameDecoder.h"

struct ZSTD_DCtx_s;

// Decodes a zstd frame as its bytes come into target.path: a patch against base (the installed
// file's bytes), or with an empty base a packed copy. The size and checksums of the decoded
// bytes are counted as they are written. Beyond base, memory holds the decoder's window, which
// the server keeps to the file's size (2^27 bytes at most), and one output block. The frame is
// decoded unchecked: it must come from where the whole file would be trusted as much.
class CQXLFrameStream final : public IQXLBodySink {
public:
    // base and target outlive this object.
    CQXLFrameStream(std::string_view base, const SQXLFrameTarget& target);
    // Removes target.path unless End succeeded: a failed frame leaves nothing half written.
    ~CQXLFrameStream() override;

    CQXLFrameStream(const CQXLFrameStream&) = delete;
    CQXLFrameStream& operator=(const CQXLFrameStream&) = delete;

    // A failure closes and removes target.path; so does the next Begin.
    std::wstring Begin() override;
    std::wstring Write(const char* bytes, std::size_t size) override;
    // Succeeds when the frame ended whole and the result has the target's size and checksums.
    std::wstring End() override;

    // The result's first bytes (up to four), which tell a program.
    const std::string& Head() const { return m_head; }
    // Why the latest attempt failed; empty when it did not, or failed in its transfer.
    const std::wstring& Failure() const { return m_failure; }

private:
    struct DCtxFree {
        void operator()(ZSTD_DCtx_s* context) const;
    };
    std::wstring Fail(std::wstring reason);

    std::string_view m_base;
    const SQXLFrameTarget& m_target;
    std::unique_ptr<ZSTD_DCtx_s, DCtxFree> m_context;
    qxplat::FilePtr m_out;
    std::string m_output; // one block of decoded bytes
    CQXChecksum m_checksum;
    std::optional<qxplat::Sha256> m_sha;
    std::int64_t m_size = 0;
    std::size_t m_pending = 1; // ZSTD_decompressStream's hint: 0 once the frame is whole
    std::string m_head;
    std::wstring m_failure;
    bool m_done = false;
};
