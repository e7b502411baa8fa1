#include "IniDocument.h"

#include <cwctype>

#include "platform/Files.h"
#include "platform/Text.h"

namespace {

bool IsProfileSpace(wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) || c == 0x1A; }

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    return true;
}

// The section name of a header line ("[name]", up to the last "]"), or nullopt.
std::optional<std::wstring> SectionName(const std::wstring& line) {
    const std::wstring text = QXTrimProfileText(line);
    const std::size_t close = text.rfind(L']');
    if (text.empty() || text[0] != L'[' || close == std::wstring::npos)
        return std::nullopt;
    return text.substr(1, close - 1);
}

struct KeyLine {
    std::wstring name;
    std::optional<std::wstring> value;
};

KeyLine ParseKeyLine(const std::wstring& line) {
    const std::wstring text = QXTrimProfileText(line);
    const std::size_t equals = text.find(L'=');
    if (equals == std::wstring::npos)
        return {text, std::nullopt};
    return {QXTrimProfileText(text.substr(0, equals)), QXTrimProfileText(text.substr(equals + 1))};
}

} // namespace

std::wstring QXTrimProfileText(const std::wstring& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsProfileSpace(text[first]))
        ++first;
    while (last > first && IsProfileSpace(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool CQXIniDocument::Load(const std::wstring& path) {
    m_lines.clear();
    std::string bytes;
    if (!qxplat::ReadWholeFile(path, bytes))
        return false;
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
        bytes.erase(0, 3);
    const std::wstring text = qxplat::FromNarrow(bytes);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::size_t stop = end;
        if (stop > start && text[stop - 1] == L'\r')
            --stop;
        m_lines.push_back(text.substr(start, stop - start));
        start = end + 1;
    }
    return true;
}

bool CQXIniDocument::Save(const std::wstring& path) const {
    std::wstring text;
    for (const std::wstring& line : m_lines)
        text.append(line).append(L"\r\n");
    const std::string bytes = qxplat::ToNarrow(text);
    const qxplat::FilePtr file = qxplat::OpenShared(path, "wb");
    return file && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
}

std::optional<CQXIniDocument::Range>
CQXIniDocument::FindSection(const std::wstring& section) const {
    const std::wstring wanted = QXTrimProfileText(section);
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const auto name = SectionName(m_lines[i]);
        if (!name || !EqualNoCase(*name, wanted))
            continue;
        std::size_t end = i + 1;
        while (end < m_lines.size() && !SectionName(m_lines[end]))
            ++end;
        return Range{i, end};
    }
    return std::nullopt;
}

std::vector<std::wstring> CQXIniDocument::SectionNames() const {
    std::vector<std::wstring> names;
    for (const std::wstring& line : m_lines)
        if (const auto name = SectionName(line))
            names.push_back(*name);
    return names;
}

std::optional<std::wstring> CQXIniDocument::Find(const std::wstring& section,
                                                 const std::wstring& key) const {
    const auto range = FindSection(section);
    if (!range)
        return std::nullopt;
    const std::wstring wanted = QXTrimProfileText(key);
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        KeyLine line = ParseKeyLine(m_lines[i]);
        if (EqualNoCase(line.name, wanted))
            return line.value;
    }
    return std::nullopt;
}

std::size_t CQXIniDocument::AppendSection(const std::wstring& section) {
    if (!m_lines.empty() && !QXTrimProfileText(m_lines.back()).empty())
        m_lines.emplace_back();
    m_lines.push_back(L"[" + QXTrimProfileText(section) + L"]");
    return m_lines.size() - 1;
}

void CQXIniDocument::Set(const std::wstring& section, const std::wstring& key,
                         const std::wstring& value) {
    const std::wstring name = QXTrimProfileText(key);
    auto range = FindSection(section);
    if (!range)
        range = Range{AppendSection(section), m_lines.size()};
    std::size_t insertAt = range->header + 1;
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        const KeyLine line = ParseKeyLine(m_lines[i]);
        if (EqualNoCase(line.name, name)) {
            m_lines[i] = line.name + L"=" + value;
            return;
        }
        if (!line.name.empty())
            insertAt = i + 1;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), name + L"=" + value);
}

void CQXIniDocument::ReplaceSection(const std::wstring& section,
                                    const std::vector<std::wstring>& lines) {
    auto range = FindSection(section);
    if (!range)
        range = Range{AppendSection(section), m_lines.size()};
    // Blank lines that separate this section from the next one stay.
    std::size_t bodyEnd = range->end;
    while (bodyEnd > range->header + 1 && QXTrimProfileText(m_lines[bodyEnd - 1]).empty() &&
           range->end < m_lines.size())
        --bodyEnd;
    const auto first = m_lines.begin() + static_cast<std::ptrdiff_t>(range->header + 1);
    m_lines.erase(first, m_lines.begin() + static_cast<std::ptrdiff_t>(bodyEnd));
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(range->header + 1), lines.begin(),
                   lines.end());
}
