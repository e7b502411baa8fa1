#pragma once

#include <optional>
#include <string>
#include <vector>

// An INI file held as its lines, read and changed with the Windows profile functions' rules,
// so that a rewrite keeps every line it was not asked to change (comments and blank lines too).
class CQXIniDocument {
public:
    // Loads path; false when the file cannot be read (the document is then empty).
    bool Load(const std::wstring& path);
    // Writes the document with CR LF line ends, creating or truncating the file.
    bool Save(const std::wstring& path) const;

    // The raw value of the first matching key in the first matching section (blanks around it
    // trimmed, quotes kept); nullopt when absent or when the key line has no "=".
    std::optional<std::wstring> Find(const std::wstring& section, const std::wstring& key) const;

    bool HasSection(const std::wstring& section) const { return FindSection(section).has_value(); }
    // The names of the sections, in file order.
    std::vector<std::wstring> SectionNames() const;

    void Set(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    void ReplaceSection(const std::wstring& section, const std::vector<std::wstring>& lines);

private:
    struct Range {
        std::size_t header; // index of the "[section]" line
        std::size_t end;    // one past the section's last line
    };
    std::optional<Range> FindSection(const std::wstring& section) const;
    std::size_t AppendSection(const std::wstring& section);

    std::vector<std::wstring> m_lines;
};

// Profile-function trimming: white space and the DOS end-of-file mark.
std::wstring QXTrimProfileText(const std::wstring& text);
