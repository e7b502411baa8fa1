#include "platform/Profile.h"

#include <algorithm>
#include <cstdint>

#include "IniDocument.h"

namespace qxplat {

namespace {

// As the profile functions copy a value into a caller's buffer: one pair of enclosing quotes
// goes, but the closing one only when the whole value fitted.
std::wstring CopyEntry(const std::wstring& value, std::size_t capacity, bool stripQuotes) {
    std::size_t begin = 0;
    bool quoted = false;
    if (stripQuotes && value.size() > 1 && (value[0] == L'"' || value[0] == L'\'') &&
        value.back() == value[0]) {
        quoted = true;
        begin = 1;
    }
    const std::size_t available = value.size() - begin;
    std::wstring out = value.substr(begin, std::min(available, capacity - 1));
    if (quoted && capacity >= available && !out.empty())
        out.pop_back();
    return out;
}

int DigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

std::wstring WithoutTrailingBlanks(const std::wstring& text) {
    std::size_t end = text.size();
    while (end > 1 && text[end - 1] == L' ')
        --end;
    return text.substr(0, end);
}

} // namespace

std::wstring ReadIniString(const std::wstring& file, const std::wstring& section,
                           const std::wstring& key, const std::wstring& fallback,
                           std::size_t capacity) {
    if (capacity == 0)
        return {};
    const std::wstring byDefault = WithoutTrailingBlanks(fallback);
    CQXIniDocument document;
    if (!document.Load(file))
        return byDefault.substr(0, capacity - 1);
    const auto value = document.Find(section, key);
    return CopyEntry(value ? *value : byDefault, capacity, true);
}

// The integer conversion of the profile functions: blanks, one sign, then a number whose
// base a lower-case prefix may set ("0x" 16, "0o" 8, "0b" 2).
int ReadIniInt(const std::wstring& file, const std::wstring& section, const std::wstring& key,
               int fallback) {
    const std::wstring text = ReadIniString(file, section, key, L"", 30);
    if (text.empty())
        return fallback;
    std::size_t i = 0;
    while (i < text.size() && text[i] <= L' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    std::uint32_t base = 10;
    if (i + 1 < text.size() && text[i] == L'0') {
        const wchar_t prefix = text[i + 1];
        base = prefix == L'x' ? 16 : prefix == L'o' ? 8 : prefix == L'b' ? 2 : 10;
        if (base != 10)
            i += 2;
    }
    std::uint32_t total = 0; // wraps as the 32-bit conversion of the profile functions does
    for (int digit; i < text.size() && (digit = DigitValue(text[i])) >= 0 &&
                    static_cast<std::uint32_t>(digit) < base;
         ++i)
        total = total * base + static_cast<std::uint32_t>(digit);
    return static_cast<int>(negative ? 0u - total : total);
}

bool WriteIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    const std::wstring& value) {
    CQXIniDocument document;
    document.Load(file);
    document.Set(section, key, value);
    return document.Save(file);
}

bool WriteIniSection(const std::wstring& file, const std::wstring& section,
                     const std::vector<std::wstring>& lines) {
    CQXIniDocument document;
    document.Load(file);
    document.ReplaceSection(section, lines);
    return document.Save(file);
}

} // namespace qxplat
