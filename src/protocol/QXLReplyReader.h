#pragma once

#include <string>
#include <vector>

#include "log/QXLLog.h"
#include "protocol/QXLApplicationInfo.h"
#include "protocol/QXLFileRow.h"
#include "protocol/QXLPrimaryApplication.h"

// Turns the tables of the information replies into the launcher's records. Each reader knows
// only the column names of its own record; other columns are read and dropped.
namespace QXLReplyReader {

// GetAppInf: the first row's values. On a body without a table the record keeps its earlier
// values. Writes the four debug lines, then gives an empty ApplicationLabel the default
// "QXWIN". True when the header named a column and no value was missing.
bool ReadApplicationInfo(const std::wstring& body, CQXLApplicationInfo& info, CQXLLog& log);

// GetAppVersionList: one entry per row, the row's first value when that column is
// "VersionName", else empty. Appends to versions and logs each one.
void ReadVersionList(const std::wstring& body, std::vector<std::wstring>& versions, CQXLLog& log);

// GetAppPrimary: the first row's values, then an info line. True when the header named a
// column and no value was missing.
bool ReadPrimaryApplication(const std::wstring& body, CQXLPrimaryApplication& primary,
                            CQXLLog& log);

// GetAppChecksum: every complete row, in reply order. A row with fewer values than the header
// is refused with an error line, and so is a row whose FileSize is negative or beyond 2^31 - 1;
// an incomplete last row ends the list.
std::vector<CQXLFileRow> ReadFileRows(const std::wstring& body, CQXLLog& log);

} // namespace QXLReplyReader
