#include "protocol/QXLReplyReader.h"

#include <cstdint>
#include <limits>
#include <optional>

#include "protocol/QXReplyValues.h"
#include "protocol/TDParser.h"

namespace {

const QXColumnName kApplicationColumns[] = {
    {L"Update", TypeUpdate},
    {L"Version", TypeVersion},
    {L"ForceUpdate", TypeForceUpdate},
    {L"ForceReboot", TypeForceReboot},
    {L"ApplicationName", TypeApplicationName},
    {L"ApplicationLabel", TypeApplicationLabel},
    {L"DaysBeforeForceUpdateValue", TypeDaysBeforeForceUpdateValue},
    {L"ReleaseNoteName", TypeReleaseNoteName},
    {L"UpdateOnExit", TypeUpdateOnExit},
    {L"StartBureauByDefault", TypeStartBureauByDefault},
    {L"ZipEnable", TypeZipEnable},
    {L"DaysBeforeForceChangePasswordValue", TypeDaysBeforeForceChangePasswordValue},
    {L"DaysBeforeChangePasswordWarning", TypeDaysBeforeChangePasswordWarning},
    {L"WarningForceUpdate", TypeWarningForceUpdate},
    {L"UpdateReports", TypeUpdateReports},
};

const QXColumnName kVersionColumns[] = {{L"VersionName", TypeVersionName}};

const QXColumnName kPrimaryColumns[] = {
    {L"PrimaryName", TypePrimaryName},
    {L"PrimaryParameters", TypePrimaryParameters},
};

const QXColumnName kFileColumns[] = {
    {L"FileName", TypeFileName},         {L"FileSize", TypeFileSize},
    {L"FileChecksum", TypeFileChecksum}, {L"FileMode", TypeFileMode},
    {L"IsActiveX", TypeIsActiveX},       {L"HasToBeLaunched", TypeHasToBeLaunched},
    {L"Parameters", TypeParameters},     {L"FilePath", TypeFilePath},
    {L"FileSha256", TypeFileSha256},     {L"FileExecutable", TypeFileExecutable},
};

// Gives every header column its type; false when the header names none.
template <std::size_t N>
bool MapColumns(CTDParser& parser, const QXColumnName (&known)[N]) {
    std::wstring name;
    while (parser.NextColumnName(name))
        parser.AddColumnType(QXColumnType(name, known));
    return parser.ColumnCount() > 0;
}

enum class RowRead { Complete, Short, NoMore };

// Reads as many values as the header has columns, handing each to store(type, value). A row
// that ends at its line end before its last column is Short: its values stop there, so that
// the next row is never read into this one's missing columns. NoMore when the values ran out.
template <typename Store>
RowRead ReadRow(CTDParser& parser, Store store) {
    std::wstring value;
    for (std::size_t i = 0; i < parser.ColumnCount(); ++i) {
        const int type = parser.NextValue(value);
        if (type == 0)
            return RowRead::NoMore;
        store(type, value);
        if (parser.AtRowStart() && i + 1 < parser.ColumnCount())
            return RowRead::Short;
    }
    return RowRead::Complete;
}

int AsInt(const std::wstring& value) { return static_cast<int>(QXReplyInteger(value)); }

// A day count: -1 when the value holds no number, so that an empty cell is no limit rather
// than a limit of zero days.
int AsDays(const std::wstring& value) {
    const std::wstring text = QXReplyText(value);
    const std::size_t first = text.find_first_not_of(L"+-");
    if (first == std::wstring::npos || text[first] < L'0' || text[first] > L'9')
        return -1;
    return AsInt(value);
}

// The listed size of a file: an optional sign and the leading digits, 0 without digits. False
// for a negative size or one beyond what a file row holds, which would let a body of any
// length through as a file's content.
bool ReadFileSize(const std::wstring& value, std::int32_t& size) {
    const std::wstring text = QXReplyText(value);
    std::size_t i = 0;
    const bool negative = i < text.size() && text[i] == L'-';
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
        ++i;
    std::int64_t number = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        number = number * 10 + (text[i] - L'0');
        if (number > std::numeric_limits<std::int32_t>::max())
            return false;
    }
    if (negative && number != 0)
        return false;
    size = static_cast<std::int32_t>(number);
    return true;
}

const wchar_t* FlagText(int flag) { return flag != 0 ? L"TRUE" : L"FALSE"; }

void StoreApplicationValue(CQXLApplicationInfo& info, int type, const std::wstring& value) {
    switch (type) {
    case TypeUpdate:
        info.Update = QXReplyFlag(value);
        break;
    case TypeVersion:
        info.Version = QXReplyText(value);
        break;
    case TypeForceUpdate:
        info.ForceUpdate = QXReplyFlag(value);
        break;
    case TypeForceReboot:
        info.ForceReboot = QXReplyFlag(value);
        break;
    case TypeApplicationName:
        info.ApplicationName = QXReplyText(value);
        break;
    case TypeApplicationLabel:
        info.ApplicationLabel = QXReplyText(value);
        break;
    case TypeDaysBeforeForceUpdateValue:
        info.DaysBeforeForceUpdateValue = AsDays(value);
        break;
    case TypeReleaseNoteName:
        info.ReleaseNoteName = QXReplyText(value);
        break;
    case TypeUpdateOnExit:
        info.UpdateOnExit = QXReplyFlag(value);
        break;
    case TypeStartBureauByDefault:
        info.StartBureauByDefault = QXReplyFlag(value);
        break;
    case TypeZipEnable:
        info.ZipEnable = QXReplyFlag(value);
        break;
    case TypeDaysBeforeForceChangePasswordValue:
        info.DaysBeforeForceChangePasswordValue = AsDays(value);
        break;
    case TypeDaysBeforeChangePasswordWarning:
        info.DaysBeforeChangePasswordWarning = AsDays(value);
        break;
    case TypeWarningForceUpdate:
        info.WarningForceUpdate = QXReplyFlag(value);
        break;
    case TypeUpdateReports:
        info.UpdateReports = QXReplyFlag(value);
        break;
    default:
        break;
    }
}

void StoreFileValue(CQXLFileRow& row, int type, const std::wstring& value) {
    switch (type) {
    case TypeFileName:
        row.FileName = QXReplyText(value);
        break;
    case TypeFileChecksum:
        row.FileChecksum = QXReplyInteger(value);
        break;
    case TypeFileMode:
        row.FileMode = QXReplyMode(value);
        break;
    case TypeIsActiveX:
        row.IsActiveX = QXReplyFlag(value);
        break;
    case TypeHasToBeLaunched:
        row.HasToBeLaunched = QXReplyFlag(value);
        break;
    case TypeParameters:
        row.Parameters = QXReplyText(value);
        break;
    case TypeFilePath:
        row.FilePath = QXReplyText(value);
        break;
    case TypeFileSha256:
        row.FileSha256 = QXReplyText(value);
        break;
    case TypeFileExecutable:
        row.FileExecutable = QXReplyFlag(value);
        break;
    default:
        break;
    }
}

void LogApplicationInfo(const CQXLApplicationInfo& info, CQXLLog& log) {
    log.LogDebug(L"Update=%s, ForceUpdate=%s, ForceReboot=%s, Version=%s", FlagText(info.Update),
                 FlagText(info.ForceUpdate), FlagText(info.ForceReboot), info.Version);
    log.LogDebug(L"ApplicationName=%s, ApplicationLabel=%s, DaysCount=%d", info.ApplicationName,
                 info.ApplicationLabel, info.DaysBeforeForceUpdateValue);
    log.LogDebug(L"ReleaseNote=%s, UpdateOnExit=%s, StartBureauByDefault=%s", info.ReleaseNoteName,
                 FlagText(info.UpdateOnExit), FlagText(info.StartBureauByDefault));
    log.LogDebug(L"DaysBeforeForceChangePasswordValue=%d, DaysBeforeChangePasswordWarning=%d, "
                 L"WarningForceUpdate=%s",
                 info.DaysBeforeForceChangePasswordValue, info.DaysBeforeChangePasswordWarning,
                 FlagText(info.WarningForceUpdate));
}

} // namespace

namespace QXLReplyReader {

bool ReadApplicationInfo(const std::wstring& body, CQXLApplicationInfo& info, CQXLLog& log) {
    CTDParser parser;
    bool complete = false;
    if (parser.Parse(body) && MapColumns(parser, kApplicationColumns))
        complete = ReadRow(parser, [&](int type, const std::wstring& value) {
                       StoreApplicationValue(info, type, value);
                   }) == RowRead::Complete;
    LogApplicationInfo(info, log);
    if (info.ApplicationLabel.empty())
        info.ApplicationLabel = L"QXWIN";
    return complete;
}

void ReadVersionList(const std::wstring& body, std::vector<std::wstring>& versions, CQXLLog& log) {
    CTDParser parser;
    if (!parser.Parse(body) || !MapColumns(parser, kVersionColumns))
        return;
    std::wstring value;
    for (;;) {
        std::wstring versionName;
        const int type = parser.NextValue(value);
        if (type == 0)
            return;
        if (type == TypeVersionName)
            versionName = QXReplyText(value);
        versions.push_back(versionName);
        log.LogInfo(L"Version found : %s", versionName);
        // A one-column row has already been left at its line end.
        if (!parser.AtRowStart() && !parser.NextRow())
            return;
    }
}

bool ReadPrimaryApplication(const std::wstring& body, CQXLPrimaryApplication& primary,
                            CQXLLog& log) {
    CTDParser parser;
    bool complete = false;
    if (parser.Parse(body) && MapColumns(parser, kPrimaryColumns))
        complete = ReadRow(parser, [&](int type, const std::wstring& value) {
                       if (type == TypePrimaryName)
                           primary.PrimaryName = QXReplyText(value);
                       else if (type == TypePrimaryParameters)
                           primary.PrimaryParameters = QXReplyText(value);
                   }) == RowRead::Complete;
    log.LogInfo(L"PrimaryName=%s, PrimaryParameters=%s", primary.PrimaryName,
                primary.PrimaryParameters);
    return complete;
}

std::vector<CQXLFileRow> ReadFileRows(const std::wstring& body, CQXLLog& log) {
    std::vector<CQXLFileRow> rows;
    CTDParser parser;
    if (!parser.Parse(body) || !MapColumns(parser, kFileColumns))
        return rows;
    for (;;) {
        CQXLFileRow row;
        std::optional<std::wstring> badSize;
        const RowRead read = ReadRow(parser, [&](int type, const std::wstring& value) {
            if (type != TypeFileSize)
                StoreFileValue(row, type, value);
            else if (!ReadFileSize(value, row.FileSize))
                badSize = QXReplyText(value);
        });
        if (read == RowRead::NoMore)
            return rows;
        if (read == RowRead::Short)
            log.LogError(L"File list row refused, it has fewer values than the header: \"%s\"",
                         row.FileName);
        else if (badSize)
            log.LogError(L"File list row refused, its size is out of range: \"%s\" (%s)",
                         row.FileName, *badSize);
        else
            rows.push_back(std::move(row));
    }
}

} // namespace QXLReplyReader
