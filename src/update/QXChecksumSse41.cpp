#include <immintrin.h>

#include "update/QXChecksumLanes.h"

// Eight 16-byte accumulators make a block of 128 bytes: enough independent multiplications in
// flight to hide their latency. Each 16-byte load becomes four quads in two multiply-adds
// (bytes in pairs with weights 131 and 1, then pairs of pairs with 131^2 and 1), so only one
// 32-bit multiplication is needed per 16 bytes.
__attribute__((target("sse4.1"))) std::uint32_t
QXChecksumSse41(std::uint32_t accumulator, const unsigned char* data, std::size_t size) {
    constexpr std::size_t kVectors = 8;
    constexpr std::size_t kBlock = kVectors * 16;
    const std::size_t blocks = size / kBlock;
    if (blocks == 0)
        return QXChecksumReference(accumulator, data, size);

    const __m128i pairWeights = _mm_set1_epi16(static_cast<short>(0x0183)); // 131, 1
    const __m128i quadWeights = _mm_set1_epi32(static_cast<int>((1u << 16) | 17161u));
    const __m128i step = _mm_set1_epi32(static_cast<int>(QXChecksumPower(kBlock)));
    __m128i acc[kVectors];
    for (auto& a : acc)
        a = _mm_setzero_si128();
    for (std::size_t b = 0; b < blocks; ++b) {
        const unsigned char* block = data + b * kBlock;
        for (std::size_t v = 0; v < kVectors; ++v) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * v));
            const __m128i pairs = _mm_maddubs_epi16(pairWeights, bytes);
            const __m128i quads = _mm_madd_epi16(pairs, quadWeights);
            acc[v] = _mm_add_epi32(_mm_mullo_epi32(acc[v], step), quads);
        }
    }
    std::uint32_t lanes[kBlock / 4];
    for (std::size_t v = 0; v < kVectors; ++v)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes + 4 * v), acc[v]);
    const std::uint32_t sum = QXChecksumFoldQuads(accumulator, blocks, lanes, kBlock / 4);
    const std::size_t done = blocks * kBlock;
    return QXChecksumReference(sum, data + done, size - done);
}
