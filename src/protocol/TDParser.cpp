#include "protocol/TDParser.h"

#include <algorithm>

namespace {
const std::wstring kHeaderTag = L"COLONNES=";
const std::wstring kRowsBegin = L"TBLDATBEGIN_99\r\n";
const std::wstring kRowsEnd = L"TBLDATEND_99";
const std::wstring kLineEnd = L"\r\n";
} // namespace

bool CTDParser::Parse(const std::wstring& body) {
    m_columnTypes.clear();
    m_typeCursor = 0;
    m_columnIndex = 0;
    m_headerPosition = 0;
    m_bodyPosition = 0;
    m_lineEnd = std::wstring::npos;
    m_lineEndKnown = false;
    m_header.clear();
    m_rows.clear();

    const std::size_t tag = body.find(kHeaderTag);
    if (tag == std::wstring::npos)
        return false;
    const std::size_t headerStart = tag + kHeaderTag.size();
    const std::size_t headerEnd = body.find(kLineEnd, headerStart);
    if (headerEnd == std::wstring::npos)
        return false;
    const std::size_t begin = body.find(kRowsBegin);
    if (begin == std::wstring::npos)
        return false;
    const std::size_t rowsStart = begin + kRowsBegin.size();
    const std::size_t rowsEnd = body.find(kRowsEnd, rowsStart);
    if (rowsEnd == std::wstring::npos)
        return false;
    m_header = body.substr(headerStart, headerEnd - headerStart);
    m_rows = body.substr(rowsStart, rowsEnd - rowsStart);
    return true;
}

bool CTDParser::NextColumnName(std::wstring& name) {
    if (m_headerPosition >= m_header.size())
        return false;
    const std::size_t bar = m_header.find(L'|', m_headerPosition);
    if (bar == std::wstring::npos)
        return false;
    name = m_header.substr(m_headerPosition, bar - m_headerPosition);
    const std::size_t semicolon = m_header.find(L';', bar + 1);
    // Without a closing semicolon the header is used up: moving past its end (rather than
    // onto its last character, which may be the bar itself) keeps a header ending in "|"
    // from naming the same empty column forever.
    m_headerPosition = semicolon == std::wstring::npos ? m_header.size() : semicolon + 1;
    return true;
}

void CTDParser::AddColumnType(int type) { m_columnTypes.push_back(type); }

int CTDParser::NextValue(std::wstring& value) {
    if (m_columnIndex == 0)
        m_typeCursor = 0;
    const std::size_t lineEnd = LineEnd();
    // A tab is looked for in the current line only: past its end it would not count anyway,
    // and searching the rest of the rows for every value would take time in the square of
    // their size when the rows hold no tabs.
    const auto from = m_rows.begin() + static_cast<std::ptrdiff_t>(m_bodyPosition);
    const auto to = lineEnd == std::wstring::npos
                        ? m_rows.end()
                        : m_rows.begin() + static_cast<std::ptrdiff_t>(lineEnd);
    const auto found = std::find(from, to, L'\t');
    const bool endsAtTab = found != to;
    if (!endsAtTab && lineEnd == std::wstring::npos)
        return 0;
    if (m_typeCursor >= m_columnTypes.size())
        return 0;
    const int type = m_columnTypes[m_typeCursor++];
    if (type == 0)
        return 0;
    const std::size_t end = endsAtTab ? static_cast<std::size_t>(found - m_rows.begin()) : lineEnd;
    value.assign(from, m_rows.begin() + static_cast<std::ptrdiff_t>(end));
    if (endsAtTab) {
        ++m_columnIndex;
        m_bodyPosition = end + 1;
    } else {
        m_columnIndex = 0;
        m_bodyPosition = lineEnd + kLineEnd.size();
    }
    return type;
}

bool CTDParser::NextRow() {
    const std::size_t lineEnd = LineEnd();
    if (lineEnd == std::wstring::npos)
        return false;
    m_bodyPosition = lineEnd + kLineEnd.size();
    m_columnIndex = 0;
    return true;
}

std::size_t CTDParser::LineEnd() {
    // The line end found last holds for every position up to it; once none is left, none is
    // left for any later position either. So each part of the rows is searched once.
    if (!m_lineEndKnown || (m_lineEnd != std::wstring::npos && m_bodyPosition > m_lineEnd)) {
        m_lineEnd = m_rows.find(kLineEnd, m_bodyPosition);
        m_lineEndKnown = true;
    }
    return m_lineEnd;
}
