#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/IniText.h"

// An INI file held as its own bytes, read and changed with the Windows profile functions'
// rules. A rewrite keeps every line it was not asked to change byte for byte (comments, blank
// lines, line ends, bytes of any charset), and a UTF-16 LE file with its byte-order mark stays
// UTF-16; lines it adds end as the file's first line does (CR LF in a new file).
class CQXIniDocument {
public:
    // Loads path; false when the file cannot be read (the document is then empty).
    bool Load(const std::wstring& path);
    // Writes the document, creating or truncating the file.
    bool Save(const std::wstring& path) const;

    // The raw value of the first matching key in the first matching section (blanks around it
    // trimmed, quotes kept); nullopt when absent or when the key line has no "=".
    std::optional<std::wstring> Find(const std::wstring& section, const std::wstring& key) const;

    bool HasSection(const std::wstring& section) const { return FindSection(section).has_value(); }
    // The names of the sections, in file order.
    std::vector<std::wstring> SectionNames() const;

    // Sets key to value; false when it had that value already (the document is unchanged).
    bool Set(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    void ReplaceSection(const std::wstring& section, const std::vector<std::wstring>& lines);

private:
    struct Line {
        std::string body; // as stored, in the file's encoding
        std::string end;  // the line end as stored; empty only for a last line without one
    };
    struct Range {
        std::size_t header; // index of the "[section]" line
        std::size_t end;    // one past the section's last line
    };
    std::optional<Range> FindSection(const std::wstring& section) const;
    std::size_t AppendSection(const std::wstring& section);
    void InsertLine(std::size_t at, const std::wstring& text);
    bool IsBlank(const Line& line) const;

    qxplat::ini::Encoding m_encoding = qxplat::ini::Encoding::Bytes;
    std::string m_mark;             // the byte-order mark the file opened with
    std::string m_newLine = "\r\n"; // in the file's encoding, for added lines
    std::vector<Line> m_lines;
};
