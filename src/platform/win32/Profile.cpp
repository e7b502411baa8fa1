#include "platform/Profile.h"

#include <algorithm>
#include <windows.h>

#include "platform/ProfileEntry.h"

namespace qxplat {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring Trimmed(const std::wstring& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// The whole section as the system gives it: "key=value" entries, each ended by a NUL. The
// buffer doubles until the text fits (the function then returns less than its size - 2).
std::wstring ReadSectionBlock(const std::wstring& file, const std::wstring& section) {
    std::wstring buffer(1 << 16, L'\0');
    for (;;) {
        const DWORD n = GetPrivateProfileSectionW(section.c_str(), buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), file.c_str());
        if (n + 2 < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

} // namespace

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

// The system keeps the section's first occurrence and its lines' order; one read per section
// instead of one per key.
bool ReadIniSections(const std::wstring& file, const std::vector<std::wstring>& sections,
                     const IniKeyVisitor& visit, std::size_t capacity) {
    if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    if (capacity == 0)
        return true;
    for (std::size_t index = 0; index < sections.size(); ++index) {
        const std::wstring block = ReadSectionBlock(file, sections[index]);
        for (std::size_t start = 0; start < block.size();) {
            std::size_t end = block.find(L'\0', start);
            if (end == std::wstring::npos)
                end = block.size();
            const std::wstring entry = block.substr(start, end - start);
            start = end + 1;
            const std::size_t equals = entry.find(L'=');
            const std::wstring name = Trimmed(entry.substr(0, equals));
            if (name.empty() || name.size() >= capacity)
                continue;
            if (equals == std::wstring::npos)
                visit(index, name, std::nullopt);
            else
                visit(index, name, CopyProfileEntry(Trimmed(entry.substr(equals + 1)), capacity));
        }
    }
    return true;
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
