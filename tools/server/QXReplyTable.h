#pragma once

#include <string>
#include <vector>

// Writes one reply table: the "COLONNES=" header of name|type; entries, then the rows between
// TBLDATBEGIN_99 and TBLDATEND_99, values separated by TAB, every line ended by CR LF.
class CQXReplyTable {
public:
    // Type letters of the header: text, integer, flag.
    static constexpr char kText = 'S';
    static constexpr char kInteger = 'I';
    static constexpr char kFlag = 'B';

    void AddColumn(const std::string& name, char type);
    // Starts a new row; values are then added in column order.
    void AddRow();
    void AddValue(const std::string& value);
    void AddValue(long long value) { AddValue(std::to_string(value)); }
    void AddFlag(bool value) { AddValue(value ? "TRUE" : "FALSE"); }

    // The whole body. A TAB, CR or LF inside a value would break the grammar (there is no
    // escape), so each becomes a blank.
    std::string Text() const;

private:
    std::vector<std::pair<std::string, char>> m_columns;
    std::vector<std::vector<std::string>> m_rows;
};
