#pragma once

#include <optional>
#include <string>
#include <string_view>

// The raw side of INI files: a file is kept as its own bytes, 8-bit (UTF-8 or any other
// charset) or UTF-16 LE after its byte-order mark, and only the names and values asked for
// are decoded. Offsets are byte offsets into a line's body.
namespace qxplat::ini {

enum class Encoding { Bytes, Utf16 };

// The encoding of a file's bytes and the length of the byte-order mark that opens them.
struct FileEncoding {
    Encoding encoding;
    std::size_t markLength;
};
FileEncoding DetectEncoding(std::string_view bytes);

// One line of the file: its body and its line end ("\n", "\r\n" or nothing for a last line
// without one), both as stored.
struct RawLine {
    std::string_view body;
    std::string_view end;
};
// Takes the next line off rest; false when rest is empty.
bool NextLine(std::string_view& rest, Encoding encoding, RawLine& line);

std::wstring Decode(std::string_view bytes, Encoding encoding);
// 8-bit files get UTF-8, the charset of the system's other texts.
std::string Encode(std::wstring_view text, Encoding encoding);

// A byte range [begin, end) of a line body.
struct Span {
    std::size_t begin;
    std::size_t end;
    std::size_t Length() const { return end - begin; }
};

// The range without the profile functions' blanks (white space and the DOS end-of-file mark)
// at either end.
Span Trim(std::string_view body, Encoding encoding, Span range);

// The section name of a "[name]" line (up to its last "]"), trimmed; nullopt for other lines.
std::optional<std::wstring> SectionName(std::string_view body, Encoding encoding);

// A key line: the trimmed name, and the trimmed value after the first "=" (none without one).
struct KeyLine {
    Span name;
    std::optional<Span> value;
};
KeyLine ParseKeyLine(std::string_view body, Encoding encoding);

// The bytes of the whole body for a range.
inline std::string_view Slice(std::string_view body, Span range) {
    return body.substr(range.begin, range.Length());
}

bool EqualNoCase(std::wstring_view a, std::wstring_view b);
// A section or key name as asked for, without the blanks Trim takes off.
std::wstring TrimText(std::wstring_view text);

} // namespace qxplat::ini
