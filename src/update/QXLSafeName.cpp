#include "update/QXLSafeName.h"

#include "protocol/QXReplyValues.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices on Windows whatever their extension.
bool IsDeviceName(const std::wstring& name) {
    const std::wstring stem = name.substr(0, name.find(L'.'));
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL"})
        if (QXEqualsNoCase(stem, device))
            return true;
    if (stem.size() == 4 && stem[3] >= L'1' && stem[3] <= L'9')
        return QXEqualsNoCase(stem.substr(0, 3), L"COM") ||
               QXEqualsNoCase(stem.substr(0, 3), L"LPT");
    return false;
}

} // namespace

const wchar_t* QXLUnsafeFileNameReason(const std::wstring& name) {
    if (name.empty())
        return L"empty name";
    for (wchar_t c : name)
        if (IsSeparator(c) || c == L':')
            return L"separator or colon in the name";
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
