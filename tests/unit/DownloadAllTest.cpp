#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/System.h"
#include "support/Installation.h"
#include "support/QxServer.h"
#include "support/ScriptedProgress.h"

namespace fs = std::filesystem;

namespace {

const std::string kSep(1, static_cast<char>(qxplat::kPathSeparator));

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// The download-all procedure against the fixture's qxserver, on lists made from reply tables.
class DownloadAllTest : public ::testing::Test {
protected:
    DownloadAllTest() : m_install({m_server.Url()}) {
        m_install.Client().SetSessionId(m_server.Session("demo"));
        m_install.Client().SetApplicationName(L"Demo");
        m_install.Client().SetVersionName(L"2.0");
        m_install.Server().SetSessionUserName(L"demo");
        m_install.Downloads().SetProgressWindow(&m_install.Ui());
        m_monitor.SetWindow(&m_install.Ui());
        m_monitor.SetBase(230);
        m_monitor.SetScale(0.125); // exact in binary: the positions below are exact too
        fs::create_directories(Installed("downloadall"));
    }

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
        m_install.Server().ReadFileList(
            L"COLONNES=FileName|S;FileSize|N;FileChecksum|N;FileMode|S;IsActiveX|B;"
            L"Parameters|S;FilePath|S;\r\nTBLDATBEGIN_99\r\n" +
            rows + L"TBLDATEND_99");
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
