#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Reader of the one table that every information reply of the server carries:
//   "COLONNES=" name|descriptor;name|descriptor;... CR LF   (the header, first occurrence)
//   "TBLDATBEGIN_99" CR LF  value TAB value ... CR LF  ...  "TBLDATEND_99"   (the rows)
// Nothing is quoted or escaped; text around these parts is ignored. The caller names the
// columns (NextColumnName), gives each a type (AddColumnType) and then walks the values,
// which come back with the type of their column.
class CTDParser {
public:
    // True when both the header and the rows section were found. Always forgets the column
    // types and rewinds both positions, also when it fails.
    bool Parse(const std::wstring& body);

    // The next column name of the header; false when there is none.
    bool NextColumnName(std::wstring& name);

    // Gives the next header column its type (any number but 0; 0 ends the table).
    void AddColumnType(int type);

    // The type of the next value's column, with the value's text; 0 at the end of the rows,
    // and also when a row holds more values than there are column types.
    int NextValue(std::wstring& value);

    // Leaves the current row for the start of the next one; false when no line end is left.
    bool NextRow();

    // True before the first value of a row.
    bool AtRowStart() const { return m_columnIndex == 0; }

    std::size_t ColumnCount() const { return m_columnTypes.size(); }

private:
    // The first line end of the rows at or after the current position; npos when none is left.
    std::size_t LineEnd();

    std::vector<int> m_columnTypes;
    std::size_t m_typeCursor = 0;
    int m_columnIndex = 0;
    std::size_t m_headerPosition = 0;
    std::size_t m_bodyPosition = 0;
    std::size_t m_lineEnd = 0;
    bool m_lineEndKnown = false;
    std::wstring m_header;
    std::wstring m_rows;
};
