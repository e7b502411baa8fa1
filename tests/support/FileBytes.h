#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "update/QXChecksum.h"

// Bytes that differ from block to block, so that a misplaced block shows. A shorter pattern
// is the start of a longer one.
inline std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7919u) >> 3);
    return bytes;
}

inline std::uint32_t ChecksumOf(const std::string& bytes) {
    CQXChecksum checksum;
    checksum.Update(bytes.data(), bytes.size());
    return checksum.Value();
}

inline std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}
