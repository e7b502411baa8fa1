#include "platform/IniDocument.h"

#include "platform/Files.h"

using namespace qxplat::ini;

bool CQXIniDocument::Load(const std::wstring& path) {
    m_lines.clear();
    m_mark.clear();
    m_encoding = Encoding::Bytes;
    m_newLine = "\r\n";
    std::string bytes;
    if (!qxplat::ReadWholeFile(path, bytes))
        return false;
    const FileEncoding detected = DetectEncoding(bytes);
    m_encoding = detected.encoding;
    m_mark = bytes.substr(0, detected.markLength);
    // A UTF-16 file of an odd length: its stray last byte reads as a character of its own and
    // is written back as that whole character, so that lines added after it stay aligned
    // instead of reading, at the next start, as part of that last line.
    if (m_encoding == Encoding::Utf16 && (bytes.size() - detected.markLength) % 2 != 0)
        bytes.push_back('\0');
    m_newLine = Encode(L"\r\n", m_encoding);
    std::string_view rest(bytes);
    rest.remove_prefix(detected.markLength);
    for (RawLine line; NextLine(rest, m_encoding, line);)
        m_lines.push_back({std::string(line.body), std::string(line.end)});
    if (!m_lines.empty() && !m_lines.front().end.empty())
        m_newLine = m_lines.front().end;
    return true;
}

bool CQXIniDocument::Save(const std::wstring& path) const {
    std::string bytes = m_mark;
    for (const Line& line : m_lines)
        bytes.append(line.body).append(line.end);
    const qxplat::FilePtr file = qxplat::OpenShared(path, "wb");
    return file && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
           std::fflush(file.get()) == 0;
}

bool CQXIniDocument::IsBlank(const Line& line) const {
    return Trim(line.body, m_encoding, {0, line.body.size()}).Length() == 0;
}

std::optional<CQXIniDocument::Range>
CQXIniDocument::FindSection(const std::wstring& section) const {
    const std::wstring wanted = TrimText(section);
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const auto name = SectionName(m_lines[i].body, m_encoding);
        if (!name || !EqualNoCase(*name, wanted))
            continue;
        std::size_t end = i + 1;
        while (end < m_lines.size() && !SectionName(m_lines[end].body, m_encoding))
            ++end;
        return Range{i, end};
    }
    return std::nullopt;
}

std::vector<std::wstring> CQXIniDocument::SectionNames() const {
    std::vector<std::wstring> names;
    for (const Line& line : m_lines)
        if (auto name = SectionName(line.body, m_encoding))
            names.push_back(std::move(*name));
    return names;
}

std::optional<std::wstring> CQXIniDocument::Find(const std::wstring& section,
                                                 const std::wstring& key) const {
    const auto range = FindSection(section);
    if (!range)
        return std::nullopt;
    const std::wstring wanted = TrimText(key);
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        const std::string& body = m_lines[i].body;
        const KeyLine line = ParseKeyLine(body, m_encoding);
        if (!EqualNoCase(Decode(Slice(body, line.name), m_encoding), wanted))
            continue;
        if (!line.value)
            return std::nullopt;
        return Decode(Slice(body, *line.value), m_encoding);
    }
    return std::nullopt;
}

// A line added after a last line that had no line end gives that line one.
void CQXIniDocument::InsertLine(std::size_t at, const std::wstring& text) {
    if (at > 0 && m_lines[at - 1].end.empty())
        m_lines[at - 1].end = m_newLine;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at),
                   Line{Encode(text, m_encoding), m_newLine});
}

std::size_t CQXIniDocument::AppendSection(const std::wstring& section) {
    if (!m_lines.empty() && !IsBlank(m_lines.back()))
        InsertLine(m_lines.size(), L"");
    InsertLine(m_lines.size(), L"[" + TrimText(section) + L"]");
    return m_lines.size() - 1;
}

// Only the value's own bytes change: the name as written and the blanks around the value stay.
bool CQXIniDocument::Set(const std::wstring& section, const std::wstring& key,
                         const std::wstring& value) {
    const std::wstring name = TrimText(key);
    auto range = FindSection(section);
    if (!range)
        range = Range{AppendSection(section), m_lines.size()};
    std::size_t insertAt = range->header + 1;
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        std::string& body = m_lines[i].body;
        const KeyLine line = ParseKeyLine(body, m_encoding);
        if (EqualNoCase(Decode(Slice(body, line.name), m_encoding), name)) {
            if (!line.value) {
                body =
                    std::string(Slice(body, {0, line.name.end})) + Encode(L"=" + value, m_encoding);
                return true;
            }
            if (Decode(Slice(body, *line.value), m_encoding) == value)
                return false;
            body = std::string(Slice(body, {0, line.value->begin})) + Encode(value, m_encoding) +
                   body.substr(line.value->end);
            return true;
        }
        if (line.name.Length() > 0)
            insertAt = i + 1;
    }
    InsertLine(insertAt, name + L"=" + value);
    return true;
}

void CQXIniDocument::ReplaceSection(const std::wstring& section,
                                    const std::vector<std::wstring>& lines) {
    auto range = FindSection(section);
    if (!range)
        range = Range{AppendSection(section), m_lines.size()};
    // Blank lines that separate this section from the next one stay.
    std::size_t bodyEnd = range->end;
    while (bodyEnd > range->header + 1 && IsBlank(m_lines[bodyEnd - 1]) &&
           range->end < m_lines.size())
        --bodyEnd;
    const auto first = m_lines.begin() + static_cast<std::ptrdiff_t>(range->header + 1);
    m_lines.erase(first, m_lines.begin() + static_cast<std::ptrdiff_t>(bodyEnd));
    for (std::size_t k = 0; k < lines.size(); ++k)
        InsertLine(range->header + 1 + k, lines[k]);
}
