#include "platform/Profile.h"

#include <windows.h>

namespace qxplat {

std::wstring ReadIniString(const std::wstring& file, const std::wstring& section,
                           const std::wstring& key, const std::wstring& fallback,
                           std::size_t capacity) {
    if (capacity == 0)
        return {};
    std::wstring buffer(capacity, L'\0');
    const DWORD n =
        GetPrivateProfileStringW(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(),
                                 static_cast<DWORD>(capacity), file.c_str());
    buffer.resize(n);
    return buffer;
}

int ReadIniInt(const std::wstring& file, const std::wstring& section, const std::wstring& key,
               int fallback) {
    return static_cast<int>(
        GetPrivateProfileIntW(section.c_str(), key.c_str(), fallback, file.c_str()));
}

bool WriteIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    const std::wstring& value) {
    return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str()) !=
           0;
}

bool WriteIniSection(const std::wstring& file, const std::wstring& section,
                     const std::vector<std::wstring>& lines) {
    std::wstring block; // "key=value\0" for each line, then one more "\0"
    for (const std::wstring& line : lines)
        block.append(line).push_back(L'\0');
    block.push_back(L'\0');
    return WritePrivateProfileSectionW(section.c_str(), block.c_str(), file.c_str()) != 0;
}

} // namespace qxplat
