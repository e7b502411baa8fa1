#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "update/QXChecksum.h"

// Shared arithmetic of the multi-lane checksum forms. The checksum of n bytes is the
// polynomial sum of b[i] * 131^(n-1-i) plus the start value times 131^n, modulo 2^32, so a
// long input can be cut into blocks of B bytes that each lane accumulates independently:
// lane j keeps lane * 131^B + (the quad of bytes at offset j of each block). At the end the
// lanes are weighted by their distance to the end of a block and added.

constexpr std::uint32_t kChecksumBase = 131u;

// 131^exponent modulo 2^32.
inline std::uint32_t QXChecksumPower(std::size_t exponent) {
    std::uint32_t result = 1u;
    std::uint32_t base = kChecksumBase;
    while (exponent != 0) {
        if ((exponent & 1u) != 0)
            result *= base;
        base *= base;
        exponent >>= 1;
    }
    return result;
}

// Folds lanes that each held one 4-byte quad per block (quad value b0*131^3 + ... + b3) into
// the accumulator that started the blocks: lanes[q] covers bytes 4q..4q+3 of a block of
// 4 * count bytes, and blocks in all were processed.
inline std::uint32_t QXChecksumFoldQuads(std::uint32_t accumulator, std::size_t blocks,
                                         const std::uint32_t* lanes, std::size_t count) {
    const std::size_t blockBytes = 4 * count;
    std::uint32_t sum = accumulator * QXChecksumPower(blocks * blockBytes);
    std::uint32_t weight = 1u; // 131^(blockBytes - 4 - 4q), walked from the last lane
    const std::uint32_t step = QXChecksumPower(4);
    for (std::size_t q = count; q-- > 0;) {
        sum += lanes[q] * weight;
        weight *= step;
    }
    return sum;
}

// The vector forms, each compiled for its own instruction set. They return the checksum of
// the whole input, handling the tail after the last full block one byte at a time.
std::uint32_t QXChecksumSse41(std::uint32_t accumulator, const unsigned char* data,
                              std::size_t size);
std::uint32_t QXChecksumAvx2(std::uint32_t accumulator, const unsigned char* data,
                             std::size_t size);

// The portable 16-lane form.
std::uint32_t QXChecksumPortableLanes(std::uint32_t accumulator, const unsigned char* data,
                                      std::size_t size);

using QXChecksumForm = std::uint32_t (*)(std::uint32_t, const unsigned char*, std::size_t);

// The forms this processor runs, fastest first; the build links the list of its architecture.
std::vector<QXChecksumForm> QXChecksumAvailableForms();
