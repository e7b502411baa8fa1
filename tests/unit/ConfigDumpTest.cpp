#include <gtest/gtest.h>

#include "config/QXConfigDump.h"
#include "support/TempDir.h"

// The dump shows a settings file as it is, but never more than its bounds of it.
TEST(ConfigDumpTest, ShowsTheFileWithinItsBounds) {
    TempDir dir;
    std::wstring text;

    WriteBytes(dir.Path() / "small.ini", "[LOG]\r\nactivateLog=1\r\n");
    ASSERT_TRUE(QXReadConfigurationDump(dir.File(L"small.ini"), text));
    EXPECT_EQ(text, L"[LOG]\nactivateLog=1\n");

    WriteBytes(dir.Path() / "wide.ini", std::string("\xFF\xFE[\0A\0]\0\r\0\n\0", 12));
    ASSERT_TRUE(QXReadConfigurationDump(dir.File(L"wide.ini"), text));
    EXPECT_EQ(text, L"[A]\n");

    // A line of 5,000 characters, then filler up to 1 MB.
    const std::string line = "URL1=" + std::string(4995, 'u') + "\n";
    const std::string filler(1000000 - line.size(), 'f');
    WriteBytes(dir.Path() / "huge.net", line + filler);
    ASSERT_TRUE(QXReadConfigurationDump(dir.File(L"huge.net"), text));
    const std::wstring head =
        L"URL1=" + std::wstring(995, L'u') + L" [4000 more characters not shown]\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    const std::size_t shownFiller = kQXDumpMaxBytes - line.size();
    EXPECT_NE(text.find(L"\n[" + std::to_wstring(1000000 - kQXDumpMaxBytes) +
                        L" more bytes of 1000000 not shown]"),
              std::wstring::npos);
    EXPECT_LT(text.size(), head.size() + 64 + kQXDumpMaxLine + 128);
    EXPECT_GT(shownFiller, kQXDumpMaxLine); // so the filler line is cut as well
    EXPECT_FALSE(QXReadConfigurationDump(dir.File(L"absent.ini"), text));
}
