#include "QXReplyTable.h"

namespace {

std::string Clean(std::string value) {
    for (char& c : value) {
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    }
    return value;
}

} // namespace

void CQXReplyTable::AddColumn(const std::string& name, char type) {
    m_columns.emplace_back(name, type);
}

void CQXReplyTable::AddRow() { m_rows.emplace_back(); }

void CQXReplyTable::AddValue(const std::string& value) {
    if (m_rows.empty())
        AddRow();
    m_rows.back().push_back(Clean(value));
}

std::string CQXReplyTable::Text() const {
    std::string text = "COLONNES=";
    for (const auto& [name, type] : m_columns)
        text += name + '|' + type + ';';
    text += "\r\nTBLDATBEGIN_99\r\n";
    for (const auto& row : m_rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i != 0)
                text += '\t';
            text += row[i];
        }
        text += "\r\n";
    }
    text += "TBLDATEND_99\r\n";
    return text;
}
