#pragma once

#include <optional>
#include <string>

namespace qxplat {

// Converts bytes from one character set to another with the C library's iconv; nullopt when
// the sets are unknown or the input does not convert whole.
std::optional<std::string> ConvertCharset(const std::string& bytes, const char* to,
                                          const char* from);

} // namespace qxplat
