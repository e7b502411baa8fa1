#include <immintrin.h>

#include "update/QXChecksumLanes.h"

// Eight 32-byte accumulators make a block of 256 bytes: enough independent multiplications in
// flight to hide their latency. Each 32-byte load becomes eight quads in two multiply-adds
// (bytes in pairs with weights 131 and 1, then pairs of pairs with 131^2 and 1), so only one
// 32-bit multiplication is needed per 32 bytes.
__attribute__((target("avx2"))) std::uint32_t
QXChecksumAvx2(std::uint32_t accumulator, const unsigned char* data, std::size_t size) {
    constexpr std::size_t kVectors = 8;
    constexpr std::size_t kBlock = kVectors * 32;
    const std::size_t blocks = size / kBlock;
    if (blocks == 0)
        return QXChecksumReference(accumulator, data, size);

    const __m256i pairWeights = _mm256_set1_epi16(static_cast<short>(0x0183)); // 131, 1
    const __m256i quadWeights = _mm256_set1_epi32(static_cast<int>((1u << 16) | 17161u));
    const __m256i step = _mm256_set1_epi32(static_cast<int>(QXChecksumPower(kBlock)));
    __m256i acc[kVectors];
    for (auto& a : acc)
        a = _mm256_setzero_si256();
    for (std::size_t b = 0; b < blocks; ++b) {
        const unsigned char* block = data + b * kBlock;
        for (std::size_t v = 0; v < kVectors; ++v) {
            const __m256i bytes =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32 * v));
            const __m256i pairs = _mm256_maddubs_epi16(pairWeights, bytes);
            const __m256i quads = _mm256_madd_epi16(pairs, quadWeights);
            acc[v] = _mm256_add_epi32(_mm256_mullo_epi32(acc[v], step), quads);
        }
    }
    std::uint32_t lanes[kBlock / 4];
    for (std::size_t v = 0; v < kVectors; ++v)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes + 8 * v), acc[v]);
    const std::uint32_t sum = QXChecksumFoldQuads(accumulator, blocks, lanes, kBlock / 4);
    const std::size_t done = blocks * kBlock;
    return QXChecksumReference(sum, data + done, size - done);
}
