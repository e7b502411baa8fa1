#include "update/QXChecksum.h"

std::uint32_t QXChecksumReference(std::uint32_t accumulator, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const signed char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        accumulator = accumulator * 131u + static_cast<std::uint32_t>(bytes[i]);
    return accumulator;
}

void CQXChecksum::Update(const void* data, std::size_t size) {
    m_value = QXChecksumReference(m_value, data, size);
}
