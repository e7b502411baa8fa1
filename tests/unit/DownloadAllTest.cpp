#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "platform/System.h"
#include "platform/Text.h"
#include "support/Installation.h"
#include "support/QxServer.h"
#include "support/ScriptedProgress.h"

namespace fs = std::filesystem;

namespace {

const std::string kSep(1, static_cast<char>(qxplat::kPathSeparator));

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string Parallel(int files) {
    return "[FileDownload]\r\nParallel=" + std::to_string(files) + "\r\n";
}

// The download-all procedure against the fixture's qxserver, on lists made from reply tables.
// The bar's positions after each file are exact only one file at a time.
class DownloadAllTest : public ::testing::Test {
protected:
    DownloadAllTest() : m_install({m_server.Url()}, Parallel(1)) {
        Prepare(m_install);
        m_monitor.SetWindow(&m_install.Ui());
        m_monitor.SetBase(230);
        m_monitor.SetScale(0.125); // exact in binary: the positions below are exact too
        fs::create_directories(Installed("downloadall"));
    }

    void Prepare(Installation& install) {
        install.Client().SetSessionId(m_server.Session("demo"));
        install.Client().SetApplicationName(L"Demo");
        install.Client().SetVersionName(L"2.0");
        install.Server().SetSessionUserName(L"demo");
        install.Downloads().SetProgressWindow(&install.Ui());
    }

    // What a download of rows with `files` side by side leaves for a reader to compare: its
    // result, its log records (without headers), the instructions and the requests served,
    // with the installation's folder written as "<dir>".
    struct Outcome {
        int result = 0;
        std::vector<std::string> lines;
        std::string instructions;
        std::size_t requestStart = 0;
        std::vector<std::string> arrived;
    };
    Outcome Run(int files, const std::wstring& rows, const std::vector<std::string>& names,
                std::vector<std::wstring> urls = {}) {
        urls.push_back(m_server.Url());
        Installation install(urls, Parallel(files));
        Prepare(install);
        const std::string dir = qxplat::ToNarrow(install.Application().InstallationDirectory());
        fs::create_directories(fs::path(dir) / "downloadall");
        WriteBytes(fs::path(dir) / "downloadall" / "setup.cmd", "echo");
        install.Server().ReadFileList(kColumns + rows + L"TBLDATEND_99");
        EXPECT_EQ(install.Installer().SetTempDirectory(), 1);
        const std::size_t logStart = install.Log().Text().size();
        const std::size_t requestStart = m_server.LogLineCount();
        CQXLDownloadMonitor monitor;
        Outcome outcome;
        outcome.result = install.Downloads().DownloadAll(monitor);
        outcome.requestStart = requestStart;
        std::istringstream log(install.Log().Text().substr(logStart));
        for (std::string line; std::getline(log, line);) {
            line.pop_back(); // CR
            outcome.lines.push_back(
                Placed(line.substr(0, 2) + line.substr(line.find("] - ") + 3), dir));
        }
        install.Installer().WriteInstallerFiles();
        outcome.instructions =
            Placed(ReadBytes(fs::path(dir) / "_QXLTmp" / "qxinstaller.txt"), dir);
        for (const std::string& name : names)
            if (fs::exists(fs::path(dir) / "_QXLTmp" / "downloadall" / name))
                outcome.arrived.push_back(name);
        return outcome;
    }
    static std::string Placed(std::string text, const std::string& dir) {
        for (std::size_t at = text.find(dir); at != std::string::npos; at = text.find(dir, at))
            text.replace(at, dir.size(), "<dir>");
        return text;
    }
    static constexpr const wchar_t* kColumns =
        L"COLONNES=FileName|S;FileSize|N;FileChecksum|N;FileMode|S;IsActiveX|B;"
        L"Parameters|S;FilePath|S;\r\nTBLDATBEGIN_99\r\n";

    // A row of the file list; the file is put on the server under "downloadall/" first.
    std::wstring ServedRow(const std::string& name, const std::string& bytes,
                           const std::string& mode, int activeX, const std::string& parameters) {
        const std::uint32_t checksum = m_server.AddReleaseFile("downloadall/" + name, bytes);
        return Row(name, bytes.size(), checksum, mode, activeX, parameters);
    }
    static std::wstring Row(const std::string& name, std::size_t size, std::uint32_t checksum,
                            const std::string& mode, int activeX, const std::string& parameters) {
        return Wide(name + "\t" + std::to_string(size) + "\t" + std::to_string(checksum) + "\t" +
                    mode + "\t" + (activeX != 0 ? "TRUE" : "FALSE") + "\t" + parameters +
                    "\tdownloadall\r\n");
    }
    void ReadRows(const std::wstring& rows) {
        m_install.Server().ReadFileList(kColumns + rows + L"TBLDATEND_99");
        ASSERT_EQ(m_install.Installer().SetTempDirectory(), 1);
    }
    std::string Instructions() {
        EXPECT_EQ(m_install.Installer().WriteInstallerFiles(), 1);
        return ReadBytes(Installed("_QXLTmp" + kSep + "qxinstaller.txt"));
    }
    fs::path Installed(const std::string& relative) {
        return fs::path(m_install.Application().InstallationDirectory()) / relative;
    }

    QxServer m_server;
    Installation m_install;
    CQXLDownloadMonitor m_monitor;
};

} // namespace

TEST_F(DownloadAllTest, RecordsEachFileByModeInListOrderAndMovesTheBarByItsBytes) {
    const std::string installer(3000, 'i');
    WriteBytes(Installed("downloadall" + kSep + "gone.dll"), "old");
    ReadRows(ServedRow("control.ocx", std::string(1000, 'a'), "delta", 1, "") +
             ServedRow("setup.cmd", "echo", "update", 0, "-u $USERNAME$") +
             Row("gone.dll", 2000, 0, "delete", 0, "") +
             ServedRow("QXInstaller.exe", installer, "delta", 1, "") +
             ServedRow("fonts.msi", std::string(996, 'f'), "install", 0, ""));
    const std::size_t requests = m_server.LogLineCount();

    ASSERT_EQ(m_install.Downloads().DownloadAll(m_monitor), 1);

    // Four downloads; the deletion needs none.
    // The server writes its access line once it has answered.
    EXPECT_TRUE(WaitUntil([&] { return m_server.CountLogLines(requests, {"GetAppFile"}) == 4; }));
    EXPECT_EQ(ReadBytes(Installed("QXInstaller.exe")), installer);
    EXPECT_EQ(ReadBytes(Installed("_QXLTmp" + kSep + "downloadall" + kSep + "setup.cmd")), "echo");
    const std::string text = Instructions();
    const std::string dir = "downloadall" + kSep;
    // The update list runs from the last row to the first.
    EXPECT_NE(
        text.find("[Register]\r\nFile1 = " + dir + "QXInstaller.exe\r\nFile2 = " + dir +
                  "control.ocx\r\n[Move]\r\nFile1 = " + dir + "fonts.msi\r\nFile2 = " + dir +
                  "setup.cmd\r\nFile3 = " + dir + "control.ocx\r\n[Delete]\r\nFile1 = " + dir +
                  "gone.dll\r\n[Update]\r\nFile1 = " + dir +
                  "setup.cmd\r\nParam1 = -u demo\r\n[Install]\r\nFile1 = " + dir + "fonts.msi\r\n"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("Dst = "), std::string::npos);
    EXPECT_LT(text.find("Dst = "), text.find("Src = "));

    // Each file's status line, and the bar at base + ceil(scale x bytes handled) after each.
    const std::vector<std::wstring> status = ProgressStatusTexts(m_install.Ui());
    EXPECT_EQ(status,
              (std::vector<std::wstring>{L"Downloading fonts.msi", L"Downloading QXInstaller.exe",
                                         L"Downloading setup.cmd", L"Downloading control.ocx"}));
    // Received bytes move the bar during each download, the handled sizes after it.
    const std::vector<int> positions = ProgressPositions(m_install.Ui());
    for (int after : {230 + 125, 230 + 500, 230 + 750})
        EXPECT_NE(std::find(positions.begin(), positions.end(), after), positions.end()) << after;
    EXPECT_EQ(positions.back(), 230 + 875);

    // A second run finds every entry handled and records nothing more.
    const std::size_t later = m_server.LogLineCount();
    ASSERT_EQ(m_install.Downloads().DownloadAll(m_monitor), 1);
    EXPECT_EQ(m_server.CountLogLines(later, {"GetAppFile"}), 0u);
}

TEST_F(DownloadAllTest, CurrentUpdateFileRunsAgainOnlyBesideARealDownload) {
    WriteBytes(Installed("downloadall" + kSep + "setup.cmd"), "echo");
    const std::wstring current = ServedRow("setup.cmd", "echo", "update", 0, "$USERNAME$");
    const std::wstring deletion = Row("gone.dll", 10, 0, "delete", 0, "");
    WriteBytes(Installed("downloadall" + kSep + "gone.dll"), "0123456789");

    // Deletions only: nothing is fetched, the bar still moves, the current file is not run.
    ReadRows(current + deletion);
    const std::size_t requests = m_server.LogLineCount();
    ASSERT_EQ(m_install.Downloads().DownloadAll(m_monitor), 1);
    EXPECT_EQ(m_server.CountLogLines(requests, {"GetAppFile"}), 0u);
    std::string text = Instructions();
    EXPECT_NE(text.find("[Delete]\r\nFile1 = downloadall" + kSep + "gone.dll"), std::string::npos);
    EXPECT_EQ(text.find("[Update]\r\nFile"), std::string::npos) << text;
    EXPECT_EQ(ProgressPositions(m_install.Ui()), std::vector<int>{230 + 2});
    EXPECT_TRUE(ProgressStatusTexts(m_install.Ui()).empty());
}

TEST_F(DownloadAllTest, CurrentUpdateFileRunsAgainWithAnotherDownload) {
    WriteBytes(Installed("downloadall" + kSep + "setup.cmd"), "echo");
    ReadRows(ServedRow("setup.cmd", "echo", "update", 0, "$USERNAME$") +
             ServedRow("new.dll", "new", "delta", 0, ""));
    ASSERT_EQ(m_install.Downloads().DownloadAll(m_monitor), 1);
    const std::string text = Instructions();
    EXPECT_NE(text.find("[Update]\r\nFile1 = downloadall" + kSep + "setup.cmd\r\nParam1 = demo"),
              std::string::npos)
        << text;
}

// Side by side or one after the other, a reader sees the same update: the same records in list
// order, the same instructions, and after a file that fails nothing more is recorded.
TEST_F(DownloadAllTest, FilesSideBySideLogAndRecordAsOneAfterTheOther) {
    // Sizes from empty to a few hundred KiB, so that fetches overtake each other.
    const std::size_t sizes[] = {0, 300 << 10, 1, 70 << 10, 0, 5000, 200 << 10, 3, 0, 128 << 10};
    std::wstring rows;
    std::vector<std::string> names;
    std::size_t requests = 0;
    std::size_t cut = 0;
    std::size_t requestsAfterMissing = 0;
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
        const std::string name = "part" + std::to_string(i) + ".dll";
        rows += ServedRow(name, std::string(sizes[i], static_cast<char>('a' + i)),
                          i % 3 == 0 ? "install" : "delta", i % 5 == 0, "");
        names.push_back(name);
        requests += sizes[i] > 0 ? 1 : 0;
        // Not on the server, so every attempt fails; the update list runs from the last row to
        // the first, so part0.dll .. part2.dll come after it.
        if (i == 2) {
            cut = rows.size();
            requestsAfterMissing = requests;
        }
        if (i == 4)
            rows += Row("gone.dll", 10, 0, "delete", 0, "") +
                    ServedRow("setup.cmd", "echo", "update", 0, "$USERNAME$");
    }
    const std::wstring failing =
        rows.substr(0, cut) + Row("missing.dll", 5000, 77, "delta", 1, "") + rows.substr(cut);

    for (const std::wstring& list : {rows, failing}) {
        const bool fails = list == failing;
        SCOPED_TRACE(fails ? "one file fails" : "every file arrives");
        const Outcome one = Run(1, list, names);
        // One file at a time, nothing after the failing file is asked for. The server writes
        // its access line once it has answered.
        const std::size_t wanted = fails ? requests - requestsAfterMissing + 3 : requests;
        EXPECT_TRUE(WaitUntil([&] {
            return m_server.CountLogLines(one.requestStart, {"GetAppFile"}) == wanted;
        })) << m_server.LogFrom(one.requestStart);
        const Outcome four = Run(4, list, names);
        EXPECT_EQ(one.result, fails ? 0 : 1);
        EXPECT_EQ(four.result, one.result);
        EXPECT_EQ(four.lines, one.lines);
        EXPECT_EQ(four.instructions, one.instructions);
        if (!fails) {
            EXPECT_TRUE(WaitUntil([&] {
                return m_server.CountLogLines(four.requestStart, {"GetAppFile"}) == requests;
            }));
            EXPECT_EQ(four.arrived, names);
            continue;
        }
        ASSERT_FALSE(one.lines.empty());
        EXPECT_EQ(one.lines.back(), "** Failed to download missing.dll, no retry left");
        EXPECT_NE(one.instructions.find("missing.dll"), std::string::npos);
        for (const char* later : {"part0.dll", "part1.dll", "part2.dll"})
            EXPECT_EQ(one.instructions.find(later), std::string::npos) << later;
    }
}

// Lanes that all meet a server that is down at once fail over to the next one: every file still
// arrives on its first attempt.
TEST_F(DownloadAllTest, FilesSideBySideFailOverTogetherFromAServerThatIsDown) {
    std::wstring rows;
    std::vector<std::string> names;
    for (int i = 0; i < 8; ++i) {
        names.push_back("side" + std::to_string(i) + ".dll");
        rows += ServedRow(names.back(), std::string(1000, 'x'), "delta", 0, "");
    }
    const Outcome outcome = Run(4, rows, names, {L"http://127.0.0.1:1/"});
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.arrived, names);
    for (const std::string& line : outcome.lines)
        EXPECT_EQ(line.find("retry left"), std::string::npos) << line;
}
