#pragma once

#include <cstddef>
#include <cstdint>

// The 32-bit file checksum the server lists: starting from 0, every byte b (taken as a signed
// 8-bit value) makes the accumulator accumulator * 131 + b, modulo 2^32. Feeding a file in
// pieces gives the same value as feeding it whole.
class CQXChecksum {
public:
    void Update(const void* data, std::size_t size);
    std::uint32_t Value() const { return m_value; }

private:
    std::uint32_t m_value = 0;
};

// The definition itself, one byte at a time: the reference every faster form must match.
std::uint32_t QXChecksumReference(std::uint32_t accumulator, const void* data, std::size_t size);

// The same value computed many bytes at a time with the fastest code this processor runs.
std::uint32_t QXChecksumFast(std::uint32_t accumulator, const void* data, std::size_t size);
