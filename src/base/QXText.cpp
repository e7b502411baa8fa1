#include "base/QXText.h"

#include <cwctype>

bool QXEqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::towlower(static_cast<std::wint_t>(a[i])) !=
            std::towlower(static_cast<std::wint_t>(b[i])))
            return false;
    return true;
}

bool QXIsSafeSessionId(std::wstring_view id) {
    if (id.empty())
        return false;
    for (const wchar_t c : id) {
        if (c <= L' ' || c == L'"' || c == 0x7F || (c >= 0x80 && c < 0xA0))
            return false;
    }
    return true;
}
