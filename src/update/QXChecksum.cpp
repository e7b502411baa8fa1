#include "update/QXChecksum.h"

#include "update/QXChecksumLanes.h"

std::uint32_t QXChecksumReference(std::uint32_t accumulator, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const signed char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        accumulator = accumulator * 131u + static_cast<std::uint32_t>(bytes[i]);
    return accumulator;
}

namespace {

// 16 independent byte lanes: without the dependency of every byte on the previous one, the
// compiler can keep all lanes in flight (and vectorise them).
constexpr std::size_t kPortableLanes = 16;

// Below this size the setup of the lanes costs more than it saves.
constexpr std::size_t kVectorThreshold = 512;

} // namespace

std::uint32_t QXChecksumPortableLanes(std::uint32_t accumulator, const unsigned char* bytes,
                                      std::size_t size) {
    const std::size_t blocks = size / kPortableLanes;
    if (blocks == 0)
        return QXChecksumReference(accumulator, bytes, size);
    const std::uint32_t step = QXChecksumPower(kPortableLanes);
    std::uint32_t lanes[kPortableLanes] = {};
    for (std::size_t b = 0; b < blocks; ++b) {
        const unsigned char* block = bytes + b * kPortableLanes;
        for (std::size_t j = 0; j < kPortableLanes; ++j)
            lanes[j] =
                lanes[j] * step + static_cast<std::uint32_t>(static_cast<signed char>(block[j]));
    }
    // Byte lanes are folded as quads of one byte each: weight 131^(lanes - 1 - j).
    std::uint32_t sum = accumulator * QXChecksumPower(blocks * kPortableLanes);
    std::uint32_t weight = 1u;
    for (std::size_t j = kPortableLanes; j-- > 0;) {
        sum += lanes[j] * weight;
        weight *= kChecksumBase;
    }
    const std::size_t done = blocks * kPortableLanes;
    return QXChecksumReference(sum, bytes + done, size - done);
}

std::uint32_t QXChecksumFast(std::uint32_t accumulator, const void* data, std::size_t size) {
    if (size < kVectorThreshold)
        return QXChecksumReference(accumulator, data, size);
    static const QXChecksumForm form = QXChecksumAvailableForms().front();
    return form(accumulator, static_cast<const unsigned char*>(data), size);
}

void CQXChecksum::Update(const void* data, std::size_t size) {
    m_value = QXChecksumFast(m_value, data, size);
}
