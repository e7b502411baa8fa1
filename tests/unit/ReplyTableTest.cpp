#include <gtest/gtest.h>

#include "protocol/QXLReplyReader.h"
#include "protocol/QXReplyValues.h"
#include "protocol/TDParser.h"
#include "support/TestLog.h"

namespace {

// A reply body holding one table, with some of the text a server puts around it.
std::wstring Table(const std::wstring& header, const std::wstring& rows) {
    return L"Code=0\r\nCOLONNES=" + header + L"\r\nTBLDATBEGIN_99\r\n" + rows + L"TBLDATEND_99\r\n";
}

std::vector<std::wstring> Names(CTDParser& parser) {
    std::vector<std::wstring> names;
    std::wstring name;
    while (parser.NextColumnName(name))
        names.push_back(name);
    return names;
}

} // namespace

TEST(ReplyTable, ReadsColumnsAndValuesRowByRow) {
    CTDParser parser;
    ASSERT_TRUE(parser.Parse(Table(L"A|x;B|x;", L"1\t2\r\n3\t4\r\n")));
    EXPECT_EQ(Names(parser), (std::vector<std::wstring>{L"A", L"B"}));
    parser.AddColumnType(7);
    parser.AddColumnType(8);
    std::wstring value;
    EXPECT_EQ(parser.NextValue(value), 7);
    EXPECT_EQ(value, L"1");
    EXPECT_EQ(parser.NextValue(value), 8);
    EXPECT_EQ(value, L"2");
    EXPECT_TRUE(parser.AtRowStart());
    EXPECT_EQ(parser.NextValue(value), 7);
    EXPECT_EQ(value, L"3");
    EXPECT_EQ(parser.NextValue(value), 8);
    EXPECT_EQ(value, L"4");
    EXPECT_EQ(parser.NextValue(value), 0);
}

TEST(ReplyTable, HeaderWithoutTrailingSemicolonKeepsItsLastColumn) {
    CTDParser parser;
    ASSERT_TRUE(parser.Parse(Table(L"A|x;B|x", L"")));
    EXPECT_EQ(Names(parser), (std::vector<std::wstring>{L"A", L"B"}));
    // A header that ends on the bar itself names its column once, not forever.
    ASSERT_TRUE(parser.Parse(Table(L"A|", L"")));
    EXPECT_EQ(Names(parser), (std::vector<std::wstring>{L"A"}));
    ASSERT_TRUE(parser.Parse(Table(L"no bar here", L"")));
    EXPECT_TRUE(Names(parser).empty());
}

TEST(ReplyTable, ParseFailsWithoutHeaderLineEndOrRowsSection) {
    CTDParser parser;
    EXPECT_FALSE(parser.Parse(L"Code=-1\r\nDescription=refused\r\n"));
    EXPECT_FALSE(parser.Parse(L"COLONNES=A|x;"));
    EXPECT_FALSE(parser.Parse(L"COLONNES=A|x;\r\nTBLDATBEGIN_99\r\n1\r\n"));
    EXPECT_FALSE(parser.Parse(L"COLONNES=A|x;\r\nTBLDATEND_99 TBLDATBEGIN_99\r\n1\r\n"));
    // A failed parse forgets the table read before.
    ASSERT_TRUE(parser.Parse(Table(L"A|x;", L"1\r\n")));
    parser.AddColumnType(1);
    EXPECT_FALSE(parser.Parse(L"nothing"));
    std::wstring value;
    EXPECT_EQ(parser.NextValue(value), 0);
}

TEST(ReplyTable, RowLongerThanHeaderEndsTheTable) {
    CTDParser parser;
    ASSERT_TRUE(parser.Parse(Table(L"A|x;", L"1\textra\r\n2\r\n")));
    parser.AddColumnType(5);
    std::wstring value;
    EXPECT_EQ(parser.NextValue(value), 5);
    EXPECT_EQ(value, L"1");
    EXPECT_EQ(parser.NextValue(value), 0);
    EXPECT_EQ(parser.NextValue(value), 0);
    // Values without any column never get a type.
    ASSERT_TRUE(parser.Parse(Table(L"", L"1\t2\r\n")));
    EXPECT_EQ(parser.NextValue(value), 0);
}

TEST(ReplyTable, NextRowLeavesARowBeforeItsLastValue) {
    CTDParser parser;
    ASSERT_TRUE(parser.Parse(Table(L"A|x;B|x;", L"1\t2\r\n3\t4\r\n")));
    parser.AddColumnType(1);
    parser.AddColumnType(2);
    std::wstring value;
    EXPECT_EQ(parser.NextValue(value), 1);
    EXPECT_TRUE(parser.NextRow());
    EXPECT_EQ(parser.NextValue(value), 1);
    EXPECT_EQ(value, L"3");
    EXPECT_TRUE(parser.NextRow());
    EXPECT_FALSE(parser.NextRow());
}

TEST(ReplyValues, ConvertFlagsIntegersTextsAndModes) {
    EXPECT_EQ(QXReplyFlag(L"true"), 1);
    EXPECT_EQ(QXReplyFlag(L"TRUE"), 1);
    EXPECT_EQ(QXReplyFlag(L"1"), 0);
    EXPECT_EQ(QXReplyFlag(L"yes"), 0);
    EXPECT_EQ(QXReplyFlag(L" TRUE"), 0);

    EXPECT_EQ(QXReplyInteger(L"  42abc"), 42u);
    EXPECT_EQ(QXReplyInteger(L"-5"), static_cast<std::uint32_t>(-5));
    EXPECT_EQ(QXReplyInteger(L"+7"), 7u);
    EXPECT_EQ(QXReplyInteger(L"4294950529"), 4294950529u);
    EXPECT_EQ(QXReplyInteger(L"4294967296"), 0u);
    EXPECT_EQ(QXReplyInteger(L"x12"), 0u);
    EXPECT_EQ(QXReplyInteger(L""), 0u);
    // 2^64 + 5 wraps to 5: only the low bits of the number matter.
    EXPECT_EQ(QXReplyInteger(L"18446744073709551621"), 5u);

    EXPECT_EQ(QXReplyText(L" \tname.exe \r"), L"name.exe");
    EXPECT_EQ(QXReplyText(L"   "), L"");

    EXPECT_EQ(QXReplyMode(L"Delta"), 1);
    EXPECT_EQ(QXReplyMode(L"1"), 1);
    EXPECT_EQ(QXReplyMode(L"CREATION"), 2);
    EXPECT_EQ(QXReplyMode(L"create"), 2);
    EXPECT_EQ(QXReplyMode(L"Suppression"), 3);
    EXPECT_EQ(QXReplyMode(L"delete"), 3);
    EXPECT_EQ(QXReplyMode(L"update"), 4);
    EXPECT_EQ(QXReplyMode(L"Installer"), 5);
    EXPECT_EQ(QXReplyMode(L"5"), 5);
    EXPECT_EQ(QXReplyMode(L" delta"), 0);
    EXPECT_EQ(QXReplyMode(L"6"), 0);
}

TEST(ReplyReader, ApplicationInfoTakesTheFirstRowAndLogsIt) {
    TestLog log;
    CQXLApplicationInfo info;
    const std::wstring body =
        Table(L"update|B;Version|S;ForceReboot|B;ApplicationLabel|S;DaysBeforeForceUpdateValue|"
              L"N;ReleaseNoteName|S;Unknown|S;WarningForceUpdate|B",
              L"True\t 2.1 \tFALSE\tFront Office\t12\tnotes.pdf\tzz\tyes\r\n"
              L"FALSE\t9\tTRUE\tOther\t1\tx\ty\tTRUE\r\n");
    EXPECT_TRUE(QXLReplyReader::ReadApplicationInfo(body, info, log.Log()));
    EXPECT_EQ(info.Update, 1);
    EXPECT_EQ(info.Version, L"2.1");
    EXPECT_EQ(info.ForceReboot, 0);
    EXPECT_EQ(info.ApplicationLabel, L"Front Office");
    EXPECT_EQ(info.DaysBeforeForceUpdateValue, 12);
    EXPECT_EQ(info.ReleaseNoteName, L"notes.pdf");
    EXPECT_EQ(info.WarningForceUpdate, 0);
    EXPECT_TRUE(log.Contains("Update=TRUE, ForceUpdate=FALSE, ForceReboot=FALSE, Version=2.1"));
    EXPECT_TRUE(log.Contains("ApplicationName=, ApplicationLabel=Front Office, DaysCount=12"));
    EXPECT_TRUE(
        log.Contains("ReleaseNote=notes.pdf, UpdateOnExit=FALSE, StartBureauByDefault=FALSE"));
    EXPECT_TRUE(log.Contains("DaysBeforeForceChangePasswordValue=-1, "
                             "DaysBeforeChangePasswordWarning=-1, WarningForceUpdate=FALSE"));
}

TEST(ReplyReader, DayCountsWithoutANumberMeanNoLimit) {
    TestLog log;
    CQXLApplicationInfo info;
    EXPECT_TRUE(QXLReplyReader::ReadApplicationInfo(
        Table(L"DaysBeforeForceChangePasswordValue|I;DaysBeforeChangePasswordWarning|I;"
              L"DaysBeforeForceUpdateValue|I",
              L"0\t \t-3\r\n"),
        info, log.Log()));
    EXPECT_EQ(info.DaysBeforeForceChangePasswordValue, 0);
    EXPECT_EQ(info.DaysBeforeChangePasswordWarning, -1);
    EXPECT_EQ(info.DaysBeforeForceUpdateValue, -3);
}

TEST(ReplyReader, ApplicationInfoDefaultsTheLabelAndKeepsValuesWithoutTable) {
    TestLog log;
    CQXLApplicationInfo info;
    EXPECT_TRUE(
        QXLReplyReader::ReadApplicationInfo(Table(L"Version|S;", L"3\r\n"), info, log.Log()));
    EXPECT_EQ(info.ApplicationLabel, L"QXWIN");
    EXPECT_FALSE(QXLReplyReader::ReadApplicationInfo(L"Code=-1", info, log.Log()));
    EXPECT_EQ(info.Version, L"3");
    // A row that stops short leaves the reader incomplete but keeps what it read.
    EXPECT_FALSE(QXLReplyReader::ReadApplicationInfo(Table(L"Version|S;Update|B;", L"4\t"), info,
                                                     log.Log()));
    EXPECT_EQ(info.Version, L"4");
    EXPECT_FALSE(QXLReplyReader::ReadApplicationInfo(Table(L"nothing", L"5\r\n"), info, log.Log()));
}

TEST(ReplyReader, VersionListTakesOneEntryPerRow) {
    TestLog log;
    std::vector<std::wstring> versions;
    QXLReplyReader::ReadVersionList(Table(L"VersionName|S;", L"1.0\r\n1.1\r\n 2.0 \r\n"), versions,
                                    log.Log());
    EXPECT_EQ(versions, (std::vector<std::wstring>{L"1.0", L"1.1", L"2.0"}));
    EXPECT_TRUE(log.Contains("Version found : 2.0"));

    versions.clear();
    QXLReplyReader::ReadVersionList(
        Table(L"VersionName|S;Date|S;", L"1.0\ta\r\n1.1\tb\r\n2.0\tc\r\n"), versions, log.Log());
    EXPECT_EQ(versions, (std::vector<std::wstring>{L"1.0", L"1.1", L"2.0"}));

    versions.clear();
    QXLReplyReader::ReadVersionList(Table(L"Date|S;VersionName|S;", L"a\t1.0\r\nb\t1.1\r\n"),
                                    versions, log.Log());
    EXPECT_EQ(versions, (std::vector<std::wstring>{L"", L""}));
}

TEST(ReplyReader, PrimaryApplicationNeedsAColumnAndEveryValue) {
    TestLog log;
    CQXLPrimaryApplication primary;
    EXPECT_TRUE(QXLReplyReader::ReadPrimaryApplication(
        Table(L"PRIMARYNAME|S;PrimaryParameters|S", L"qxflux.exe\t -x \r\n"), primary, log.Log()));
    EXPECT_EQ(primary.PrimaryName, L"qxflux.exe");
    EXPECT_EQ(primary.PrimaryParameters, L"-x");
    EXPECT_TRUE(log.Contains("PrimaryName=qxflux.exe, PrimaryParameters=-x"));
    EXPECT_FALSE(QXLReplyReader::ReadPrimaryApplication(Table(L"", L""), primary, log.Log()));
}

TEST(ReplyReader, FileRowsResetPerRowAndDropAnIncompleteLastRow) {
    TestLog log;
    const std::wstring body =
        Table(L"filename|S;FileSize|N;FileChecksum|N;FileMode|S;IsActiveX|B;Extra|S;FilePath|S;"
              L"FileExecutable|B",
              L"a.exe\t10\t4294950529\tdelta\tTRUE\tz\tbin\tTRUE\r\n"
              L"b.dll\tx\t7\t delete\tfalse\tz\t\tFALSE\r\n"
              L"c.dll\t5\t1\tcreate\t");
    const std::vector<CQXLFileRow> rows = QXLReplyReader::ReadFileRows(body, log.Log());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].FileName, L"a.exe");
    EXPECT_EQ(rows[0].FileSize, 10);
    EXPECT_EQ(rows[0].FileChecksum, 4294950529u);
    EXPECT_EQ(rows[0].FileMode, 1);
    EXPECT_EQ(rows[0].IsActiveX, 1);
    EXPECT_EQ(rows[0].FilePath, L"bin");
    EXPECT_EQ(rows[0].FileExecutable, 1);
    EXPECT_EQ(rows[1].FileExecutable, 0);
    EXPECT_EQ(rows[1].FileName, L"b.dll");
    EXPECT_EQ(rows[1].FileSize, 0);
    EXPECT_EQ(rows[1].FileMode, 0);
    EXPECT_EQ(rows[1].IsActiveX, 0);
    EXPECT_EQ(rows[1].FilePath, L"");
    EXPECT_EQ(rows[1].HasToBeLaunched, 0);
    EXPECT_TRUE(QXLReplyReader::ReadFileRows(Table(L"", L"a\t1\r\n"), log.Log()).empty());
    EXPECT_TRUE(QXLReplyReader::ReadFileRows(L"no table", log.Log()).empty());
}

TEST(ReplyReader, ShortRowsNeverLendTheirMissingColumnsToTheNextRow) {
    TestLog log;
    const std::wstring body =
        Table(L"FileName|S;FileSize|N;FileMode|S", L"A\t5\r\nB\t6\tdelete\r\nC\t7\tdelta\r\n");
    const std::vector<CQXLFileRow> rows = QXLReplyReader::ReadFileRows(body, log.Log());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].FileName, L"B");
    EXPECT_EQ(rows[0].FileSize, 6);
    EXPECT_EQ(rows[0].FileMode, 3);
    EXPECT_EQ(rows[1].FileName, L"C");
    EXPECT_EQ(rows[1].FileSize, 7);
    EXPECT_EQ(rows[1].FileMode, 1);
    EXPECT_TRUE(log.Contains("File list row refused, it has fewer values than the header: \"A\""));

    CQXLApplicationInfo info;
    EXPECT_FALSE(QXLReplyReader::ReadApplicationInfo(
        Table(L"Version|S;ApplicationName|S", L"3.0\r\nX\tY\r\n"), info, log.Log()));
    EXPECT_EQ(info.Version, L"3.0");
    EXPECT_EQ(info.ApplicationName, L"");
}

TEST(ReplyReader, FileRowsWithANegativeOrHugeSizeAreRefused) {
    TestLog log;
    const std::wstring body =
        Table(L"FileName|S;FileSize|N", L"neg\t-1\r\nwrap\t-4294967295\r\nbig\t9007199254740993\r\n"
                                        L"over\t2147483648\r\nmax\t 2147483647 \r\nzero\t-0\r\n");
    const std::vector<CQXLFileRow> rows = QXLReplyReader::ReadFileRows(body, log.Log());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].FileName, L"max");
    EXPECT_EQ(rows[0].FileSize, 2147483647);
    EXPECT_EQ(rows[1].FileName, L"zero");
    EXPECT_EQ(rows[1].FileSize, 0);
    EXPECT_TRUE(log.Contains("File list row refused, its size is out of range: \"neg\" (-1)"));
    EXPECT_TRUE(log.Contains("File list row refused, its size is out of range: \"wrap\""));
    EXPECT_TRUE(log.Contains(
        "File list row refused, its size is out of range: \"big\" (9007199254740993)"));
    EXPECT_TRUE(log.Contains("File list row refused, its size is out of range: \"over\""));
}
