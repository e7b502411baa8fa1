#include "platform/IniText.h"

#include <cstring>
#include <cwctype>

#include "platform/Text.h"

namespace qxplat::ini {

namespace {

std::size_t UnitSize(Encoding encoding) { return encoding == Encoding::Utf16 ? 2 : 1; }

// The code unit at byte offset i (a byte, or a UTF-16 LE unit).
char32_t UnitAt(std::string_view body, std::size_t i, Encoding encoding) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(body[k]); };
    return encoding == Encoding::Utf16 ? byte(i) | (byte(i + 1) << 8) : byte(i);
}

// The last whole unit of body ends here (an odd trailing byte of a UTF-16 file is no unit).
std::size_t UnitsEnd(std::string_view body, Encoding encoding) {
    return encoding == Encoding::Utf16 ? body.size() & ~std::size_t{1} : body.size();
}

bool IsProfileSpace(char32_t c) { return c == U' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A; }

std::wstring DecodeUtf16(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size() / 2);
    const std::size_t end = UnitsEnd(bytes, Encoding::Utf16);
    for (std::size_t i = 0; i < end; i += 2) {
        const char32_t unit = UnitAt(bytes, i, Encoding::Utf16);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < end) {
            const char32_t low = UnitAt(bytes, i + 2, Encoding::Utf16);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                out.push_back(
                    static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
                i += 2;
                continue;
            }
        }
        out.push_back(static_cast<wchar_t>(unit));
    }
    if (end < bytes.size()) // a stray last byte is kept as a character of its own
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes.back())));
    return out;
}

void AppendUnit(std::string& out, char32_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>((unit >> 8) & 0xFF));
}

std::string EncodeUtf16(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (wchar_t c : text) {
        const char32_t code = static_cast<char32_t>(c);
        if (code > 0xFFFF && code <= 0x10FFFF) {
            AppendUnit(out, 0xD800 + ((code - 0x10000) >> 10));
            AppendUnit(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            AppendUnit(out, code > 0xFFFF ? U'?' : code);
        }
    }
    return out;
}

} // namespace

FileEncoding DetectEncoding(std::string_view bytes) {
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE")
        return {Encoding::Utf16, 2};
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return {Encoding::Bytes, 3};
    return {Encoding::Bytes, 0};
}

bool NextLine(std::string_view& rest, Encoding encoding, RawLine& line) {
    if (rest.empty())
        return false;
    const std::size_t unit = UnitSize(encoding);
    std::size_t newline = std::string_view::npos;
    for (std::size_t from = 0; from < rest.size();) {
        const void* hit = std::memchr(rest.data() + from, '\n', rest.size() - from);
        if (hit == nullptr)
            break;
        const std::size_t at =
            static_cast<std::size_t>(static_cast<const char*>(hit) - rest.data());
        if (unit == 1 || (at % 2 == 0 && at + 1 < rest.size() && rest[at + 1] == '\0')) {
            newline = at;
            break;
        }
        from = at + 1;
    }
    if (newline == std::string_view::npos) {
        line = {rest, rest.substr(rest.size())};
        rest = rest.substr(rest.size());
        return true;
    }
    std::size_t bodyEnd = newline;
    if (bodyEnd >= unit && UnitAt(rest, bodyEnd - unit, encoding) == U'\r')
        bodyEnd -= unit;
    line = {rest.substr(0, bodyEnd), rest.substr(bodyEnd, newline + unit - bodyEnd)};
    rest = rest.substr(newline + unit);
    return true;
}

std::wstring Decode(std::string_view bytes, Encoding encoding) {
    return encoding == Encoding::Utf16 ? DecodeUtf16(bytes) : FromNarrow(bytes);
}

std::string Encode(std::wstring_view text, Encoding encoding) {
    return encoding == Encoding::Utf16 ? EncodeUtf16(text) : ToNarrow(text);
}

Span Trim(std::string_view body, Encoding encoding, Span range) {
    const std::size_t unit = UnitSize(encoding);
    range.end = std::min(range.end, UnitsEnd(body, encoding));
    while (range.begin < range.end && IsProfileSpace(UnitAt(body, range.begin, encoding)))
        range.begin += unit;
    while (range.end > range.begin && IsProfileSpace(UnitAt(body, range.end - unit, encoding)))
        range.end -= unit;
    return range;
}

std::optional<std::wstring> SectionName(std::string_view body, Encoding encoding) {
    const std::size_t unit = UnitSize(encoding);
    const Span text = Trim(body, encoding, {0, body.size()});
    if (text.Length() == 0 || UnitAt(body, text.begin, encoding) != U'[')
        return std::nullopt;
    for (std::size_t close = text.end; close > text.begin;) {
        close -= unit;
        if (UnitAt(body, close, encoding) == U']')
            return Decode(Slice(body, {text.begin + unit, close}), encoding);
    }
    return std::nullopt;
}

KeyLine ParseKeyLine(std::string_view body, Encoding encoding) {
    const std::size_t unit = UnitSize(encoding);
    const Span text = Trim(body, encoding, {0, body.size()});
    for (std::size_t i = text.begin; i < text.end; i += unit)
        if (UnitAt(body, i, encoding) == U'=')
            return {Trim(body, encoding, {text.begin, i}),
                    Trim(body, encoding, {i + unit, text.end})};
    return {text, std::nullopt};
}

bool EqualNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    return true;
}

std::wstring TrimText(std::wstring_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsProfileSpace(static_cast<char32_t>(text[first])))
        ++first;
    while (last > first && IsProfileSpace(static_cast<char32_t>(text[last - 1])))
        --last;
    return std::wstring(text.substr(first, last - first));
}

} // namespace qxplat::ini
