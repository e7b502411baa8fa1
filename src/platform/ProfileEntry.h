#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

namespace qxplat {

// A value as the profile functions copy it into a caller's buffer of capacity characters: one
// pair of enclosing quotes goes, the closing one only when the whole value fitted.
inline std::wstring CopyProfileEntry(const std::wstring& value, std::size_t capacity) {
    std::size_t begin = 0;
    bool quoted = false;
    if (value.size() > 1 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0]) {
        quoted = true;
        begin = 1;
    }
    const std::size_t available = value.size() - begin;
    std::wstring out = value.substr(begin, std::min(available, capacity - 1));
    if (quoted && capacity >= available && !out.empty())
        out.pop_back();
    return out;
}

} // namespace qxplat
