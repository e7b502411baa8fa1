#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Crypto.h"

// What a decoded frame must give: the listed file's size and checksum and, from a signed list,
// its SHA-256, exactly as a whole download is checked.
struct SQXLFrameTarget {
    std::wstring path;
    std::int64_t size = 0;
    std::uint32_t checksum = 0;
    std::optional<qxplat::Sha256Digest> sha256;
};

// Turns a downloaded zstd frame into the file it stands for, as CQXLFrameStream does, once the
// frame's own SHA-256 is checked: reads the frame from disk and writes the result in blocks.
class CQXLFrameDecoder {
public:
    // Writes target.path from the frame at framePath. The frame's own SHA-256 must be
    // frameSha256 before a byte of it is decoded: the decoder need not cope with hostile input.
    // Returns an empty text when the result has the target's size and checksums; otherwise why
    // not, for the log, with target.path removed. head receives the result's first bytes (up
    // to four), which tell a program.
    static std::wstring Decode(const std::wstring& framePath,
                               const qxplat::Sha256Digest& frameSha256, std::string_view base,
                               const SQXLFrameTarget& target, std::string& head);
};
