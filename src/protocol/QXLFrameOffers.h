#pragma once

#include <cstdint>
#include <map>
#include <string>

// A zstd frame the server offers in place of a listed file (GetAppFileDelta): its size,
// 32-bit checksum and SHA-256 (hex). size 0: none offered.
struct SQXLFrame {
    std::int32_t size = 0;
    std::uint32_t checksum = 0;
    std::wstring sha256;
};

// The frames of one listed file: a patch that turns exactly the base (baseSize bytes with
// baseChecksum) into the file, and the file packed on its own.
struct SQXLFrameOffer {
    std::int32_t baseSize = 0;
    std::uint32_t baseChecksum = 0;
    SQXLFrame patch;
    SQXLFrame packed;
};

// The offers of a GetAppChecksum reply's extra columns, by the "/"-separated name the server
// knows each file by; rows without an offer, short rows and lists without those columns give
// nothing.
std::map<std::wstring, SQXLFrameOffer> QXLReadFrameOffers(const std::wstring& body);

// The key of QXLReadFrameOffers for a file's server path (either separator, "--" or empty for
// none) and name.
std::wstring QXLFrameOfferKey(const std::wstring& path, const std::wstring& name);
