#include <gtest/gtest.h>
#include <regex>
#include <thread>

#include "log/QXLLog.h"
#include "platform/Profile.h"
#include "platform/System.h"
#include "support/TempDir.h"

namespace {

std::time_t g_now = 0;
std::time_t FixedClock() { return g_now; }

std::string LocalText(std::time_t t, const char* format) {
    std::tm local{};
    qxplat::LocalTime(t, local);
    char text[64];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

class LogTest : public ::testing::Test {
protected:
    LogTest() { g_now = 1344439891; } // a summer afternoon in 2012

    void Settings(const std::string& content) {
        WriteBytes(m_dir.Path() / "QXLauncher.ini", content);
    }
    std::filesystem::path LogFile() const {
        return m_dir.Path() / "LOG" / ("QXLauncher_" + LocalText(g_now, "%Y%m%d") + ".log");
    }
    std::string Header(const char* marker, const std::string& tag) const {
        return std::string(marker) + " " + LocalText(g_now, "%Y/%m/%d %H:%M:%S") + " {" +
               std::to_string(qxplat::CurrentThreadId()) + "} [" + tag + "] - ";
    }
    int Setting(const wchar_t* key) const {
        return qxplat::ReadIniInt(m_dir.File(L"QXLauncher.ini"), L"LOG", key, -1);
    }

    TempDir m_dir;
};

void WriteOneOfEach(CQXLLog& log) {
    log.LogError(L"e");
    log.LogWarning(L"w");
    log.LogProduction(L"p");
    log.LogInfo(L"i");
    log.LogDebug(L"d");
}

} // namespace

TEST_F(LogTest, WithoutSettingsWritesNothingAndLeavesTheDefaultsInTheFile) {
    {
        CQXLLog log(m_dir.Path().wstring(), &FixedClock);
        WriteOneOfEach(log);
        EXPECT_FALSE(log.IsDebugEnabled());
    }
    EXPECT_FALSE(std::filesystem::exists(LogFile()));
    EXPECT_EQ(Setting(L"activateLog"), 0);
    EXPECT_EQ(Setting(L"warning"), 1);
    EXPECT_EQ(Setting(L"error"), 1);
    EXPECT_EQ(Setting(L"info"), 1);
    EXPECT_EQ(Setting(L"production"), 1);
    EXPECT_EQ(Setting(L"debug"), 0);

    const std::string ini = ReadBytes(m_dir.Path() / "QXLauncher.ini");
    const char* order[] = {"activateLog=0", "warning=1",    "error=1",
                           "info=1",        "production=1", "debug=0"};
    std::size_t at = 0;
    for (const char* key : order) {
        const std::size_t found = ini.find(key, at);
        ASSERT_NE(found, std::string::npos) << key << " in order in:\n" << ini;
        at = found;
    }
}

// A UTF-16 settings file cut to an odd length must not grow at every start.
TEST_F(LogTest, AnOddLengthUtf16SettingsFileStopsChangingAfterOneStart) {
    Settings(std::string("\xFF\xFE[\0S\0]\0\r\0\n\0x", 13));
    std::vector<std::uintmax_t> sizes;
    for (int start = 0; start < 3; ++start) {
        CQXLLog log(m_dir.Path().wstring(), &FixedClock);
        sizes.push_back(std::filesystem::file_size(m_dir.Path() / "QXLauncher.ini"));
    }
    EXPECT_EQ(sizes, std::vector<std::uintmax_t>(3, sizes[0]));
    EXPECT_EQ(Setting(L"production"), 1);
}

TEST_F(LogTest, ActivateLogAloneWritesEveryLevelButDebug) {
    Settings("[LOG]\r\nactivateLog=1\r\n");
    CQXLLog log(m_dir.Path().wstring(), &FixedClock);
    WriteOneOfEach(log);
    EXPECT_EQ(ReadBytes(LogFile()), Header("**", "") + "e\r\n" + Header("--", "") + "w\r\n" +
                                        Header("  ", "") + "p\r\n" + Header("??", "") + "i\r\n");
    EXPECT_EQ(Setting(L"debug"), 0);
    EXPECT_EQ(Setting(L"production"), 1);
}

TEST_F(LogTest, ReadsEachSwitchByTheTwoFallbackRule) {
    Settings("[LOG]\nactivateLog=1\ndebug=yes\nerror=\ninfo=0\nwarning=7\n");
    CQXLLog log(m_dir.Path().wstring(), &FixedClock);
    EXPECT_FALSE(log.IsDebugEnabled()); // "yes" has no digits: it reads as 0
    WriteOneOfEach(log);
    EXPECT_EQ(ReadBytes(LogFile()),
              Header("**", "") + "e\r\n" + Header("--", "") + "w\r\n" + Header("  ", "") + "p\r\n");
    EXPECT_EQ(Setting(L"debug"), 0);
    EXPECT_EQ(Setting(L"error"), 1); // an empty value keeps the default
    EXPECT_EQ(Setting(L"info"), 0);
    EXPECT_EQ(Setting(L"warning"), 1);
}

TEST_F(LogTest, WritesTheRecordLayoutByteForByte) {
    Settings("[LOG]\nactivateLog=1\ndebug=1\n");
    CQXLLog log(m_dir.Path().wstring(), &FixedClock);
    log.SetTag(L"QXLauncher");
    EXPECT_EQ(log.LogError(L"END : Unable to detect installation path : %d", 5), 1);
    EXPECT_TRUE(log.LogDebug(L"url=%s", L"a%20b%s"));
    log.LogInfo(L"first\nsecond\n");
    EXPECT_EQ(ReadBytes(LogFile()), Header("**", "QXLauncher") +
                                        "END : Unable to detect installation path : 5\r\n" +
                                        Header("DD", "QXLauncher") + "url=a%20b%s\r\n" +
                                        Header("??", "QXLauncher") + "first\r\nsecond\r\n\r\n");
}

TEST_F(LogTest, CutsTheTagAt256Characters) {
    Settings("[LOG]\nactivateLog=1\n");
    CQXLLog log(m_dir.Path().wstring(), &FixedClock);
    log.SetTag(std::wstring(300, L't').c_str());
    log.SetTag(nullptr);
    log.LogInfo(L"x");
    EXPECT_EQ(ReadBytes(LogFile()), Header("??", std::string(256, 't')) + "x\r\n");
}

TEST_F(LogTest, KeepsTheFileNamedAfterTheDayItStarted) {
    Settings("[LOG]\nactivateLog=1\n");
    CQXLLog log(m_dir.Path().wstring(), &FixedClock);
    const auto firstDay = LogFile();
    g_now += 24 * 3600;
    log.LogInfo(L"after midnight");
    EXPECT_NE(ReadBytes(firstDay).find("after midnight"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(LogFile()));
}

TEST_F(LogTest, AppendsToTheSameDailyFileAcrossRuns) {
    Settings("[LOG]\nactivateLog=1\n");
    CQXLLog(m_dir.Path().wstring(), &FixedClock).LogInfo(L"one");
    CQXLLog(m_dir.Path().wstring(), &FixedClock).LogInfo(L"two");
    EXPECT_EQ(ReadBytes(LogFile()), Header("??", "") + "one\r\n" + Header("??", "") + "two\r\n");
}

TEST_F(LogTest, RecordsOfTwoThreadsNeverInterleave) {
    Settings("[LOG]\nactivateLog=1\n");
    CQXLLog log(m_dir.Path().wstring(), &FixedClock);
    const std::wstring payload(300, L'x');
    auto writer = [&log, &payload](const wchar_t* who) {
        for (int i = 0; i < 200; ++i)
            log.LogInfo(L"%s %d %s", who, i, payload);
    };
    std::thread a(writer, L"A");
    std::thread b(writer, L"B");
    a.join();
    b.join();

    const std::string text = ReadBytes(LogFile());
    const std::regex record(
        R"(\?\? \d{4}/\d\d/\d\d \d\d:\d\d:\d\d \{\d+\} \[\] - [AB] \d+ x{300})");
    std::size_t lines = 0;
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2, ++lines)
        ASSERT_TRUE(std::regex_match(text.substr(start, end - start), record)) << lines;
    EXPECT_EQ(lines, 400u);
}

TEST_F(LogTest, LosesRecordsSilentlyWhenTheFolderCannotBeMade) {
    Settings("[LOG]\nactivateLog=1\n");
    WriteBytes(m_dir.Path() / "LOG", "a file where the folder should be");
    CQXLLog log(m_dir.Path().wstring(), &FixedClock);
    EXPECT_EQ(log.LogError(L"lost"), 0);
    EXPECT_EQ(ReadBytes(m_dir.Path() / "LOG"), "a file where the folder should be");
}
