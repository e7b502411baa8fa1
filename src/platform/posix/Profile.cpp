#include "platform/Profile.h"

#include <algorithm>
#include <cstdint>

#include "platform/FileProbe.h"
#include "platform/Files.h"
#include "platform/IniDocument.h"
#include "platform/ProfileEntry.h"

namespace qxplat {

namespace {

using ini::Encoding;

// CopyProfileEntry for a value still in the file's bytes, decoding no more of a long value than its
// first characters: a value of more than 4 bytes per character of the buffer cannot fit,
// whatever its charset, so its closing quote is never reached.
std::wstring CopyValue(std::string_view raw, Encoding encoding, std::size_t capacity) {
    const std::size_t headBytes = 4 * (capacity + 2);
    if (raw.size() <= headBytes)
        return CopyProfileEntry(ini::Decode(raw, encoding), capacity);
    const std::size_t unit = encoding == Encoding::Utf16 ? 2 : 1;
    const std::string_view first = raw.substr(0, unit);
    const bool quoted = (first == "\"" || first == "'" || first == std::string_view("\"\0", 2) ||
                         first == std::string_view("'\0", 2)) &&
                        raw.substr((raw.size() & ~(unit - 1)) - unit, unit) == first;
    const std::wstring head = ini::Decode(raw.substr(0, headBytes), encoding);
    return head.substr(quoted ? 1 : 0, capacity - 1);
}

// The whole file in one allocation of its size: qxurl.net may be large, and is held only once.
bool ReadFileOnce(const std::wstring& path, std::string& bytes) {
    const FilePtr file = OpenShared(path, "rb");
    const std::int64_t length = file ? OpenFileLength(file.get()) : -1;
    if (length < 0)
        return false;
    bytes.resize(static_cast<std::size_t>(length));
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
    return true;
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
    return CopyProfileEntry(value ? *value : byDefault, capacity);
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

bool ReadIniSections(const std::wstring& file, const std::vector<std::wstring>& sections,
                     const IniKeyVisitor& visit, std::size_t capacity) {
    std::string bytes;
    if (!ReadFileOnce(file, bytes))
        return false;
    if (capacity == 0)
        return true;
    const ini::FileEncoding detected = ini::DetectEncoding(bytes);
    const Encoding encoding = detected.encoding;
    std::vector<bool> seen(sections.size(), false);
    const std::size_t none = sections.size(); // lines outside the sections asked for
    std::size_t current = none;
    std::string_view rest(bytes);
    rest.remove_prefix(detected.markLength);
    for (ini::RawLine line; ini::NextLine(rest, encoding, line);) {
        if (const auto name = ini::SectionName(line.body, encoding)) {
            current = none;
            for (std::size_t i = 0; i < sections.size() && current == none; ++i)
                if (!seen[i] && ini::EqualNoCase(*name, ini::TrimText(sections[i])))
                    current = i;
            if (current != none)
                seen[current] = true;
            continue;
        }
        if (current == none)
            continue;
        const ini::KeyLine key = ini::ParseKeyLine(line.body, encoding);
        if (key.name.Length() > 4 * capacity || (key.name.Length() == 0 && !key.value))
            continue;
        const std::wstring name = ini::Decode(ini::Slice(line.body, key.name), encoding);
        if (name.size() >= capacity)
            continue;
        if (key.value)
            visit(current, name, CopyValue(ini::Slice(line.body, *key.value), encoding, capacity));
        else
            visit(current, name, std::nullopt);
    }
    return true;
}

// The file is written only when the key's value changes: the log rewrites its settings at
// every start, mostly with the values they had.
bool WriteIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    const std::wstring& value) {
    CQXIniDocument document;
    document.Load(file);
    return !document.Set(section, key, value) || document.Save(file);
}

bool WriteIniSection(const std::wstring& file, const std::wstring& section,
                     const std::vector<std::wstring>& lines) {
    CQXIniDocument document;
    document.Load(file);
    document.ReplaceSection(section, lines);
    return document.Save(file);
}

} // namespace qxplat
