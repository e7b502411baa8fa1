#include "update/QXLSafeName.h"

#include "protocol/QXReplyValues.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9 and LPT1-9 (also with the superscript digits
// 1, 2 and 3) name devices on Windows whatever their extension, and blanks or dots before the
// extension do not change that.
bool IsDeviceName(const std::wstring& name) {
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && (stem.back() == L' ' || stem.back() == L'.'))
        stem.pop_back();
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (QXEqualsNoCase(stem, device))
            return true;
    if (stem.size() != 4)
        return false;
    const wchar_t digit = stem[3];
    const bool deviceDigit = (digit >= L'1' && digit <= L'9') || digit == L'\u00b9' ||
                             digit == L'\u00b2' || digit == L'\u00b3';
    return deviceDigit &&
           (QXEqualsNoCase(stem.substr(0, 3), L"COM") || QXEqualsNoCase(stem.substr(0, 3), L"LPT"));
}

} // namespace

const wchar_t* QXLUnsafeFileNameReason(const std::wstring& name) {
    if (name.empty())
        return L"empty name";
    for (wchar_t c : name) {
        if (IsSeparator(c) || c == L':')
            return L"separator or colon in the name";
        // A NUL would cut the name short where the system reads it; no control character
        // belongs in a file name.
        if (c < 0x20 || c == 0x7F)
            return L"control character in the name";
    }
    if (name == L"." || name == L"..")
        return L"dot name";
    if (IsDeviceName(name))
        return L"device name";
    if (name.back() == L'.' || name.back() == L' ')
        return L"trailing dot or blank";
    return nullptr;
}

const wchar_t* QXLUnsafeFilePathReason(const std::wstring& path) {
    if (path.empty() || path == L"--")
        return nullptr;
    if (IsSeparator(path[0]))
        return L"absolute path";
    if (path.find(L':') != std::wstring::npos)
        return L"drive or device prefix";
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        const std::wstring segment = path.substr(start, end - start);
        if (segment == L"." || segment == L"..")
            return L"dot segment";
        if (!segment.empty() && QXLUnsafeFileNameReason(segment) != nullptr)
            return L"segment that is not a plain name";
        start = end + 1;
    }
    return nullptr;
}
