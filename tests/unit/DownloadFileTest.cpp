#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "config/QXUrlParser.h"
#include "platform/Crypto.h"
#include "platform/System.h"
#include "protocol/QXLDownloader.h"
#include "protocol/QXLReplySignature.h"
#include "support/FileBytes.h"
#include "support/HttpPeers.h"
#include "support/ProxyEnvironment.h"
#include "support/QxServer.h"
#include "support/TempDir.h"
#include "support/TestLog.h"
#include "update/QXLDownloadMonitor.h"
#include "update/QXLFile.h"
#include "update/QXLFileFetcher.h"

namespace fs = std::filesystem;

namespace {

const std::wstring kSep(1, qxplat::kPathSeparator);

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::string Sha256Of(const std::string& bytes) {
    qxplat::Sha256 sha;
    qxplat::Sha256Digest digest{};
    sha.Update(bytes.data(), bytes.size());
    sha.Finish(digest);
    return QXLToHex(digest.data(), digest.size());
}

class RecordingWindow : public IQXLProgressBar {
public:
    std::vector<int> positions;
    void SetRange(int, int) override {}
    void SetPosition(int position) override { positions.push_back(position); }
};

// The user's side of the proxy dialog: gives the same credentials each time it is asked.
class CredentialPrompt : public qxplat::HttpPrompt {
public:
    CredentialPrompt(std::wstring user, std::wstring password)
        : m_user(std::move(user)), m_password(std::move(password)) {}
    int asked = 0;
    bool AskProxyCredentials(std::wstring& user, std::wstring& password) override {
        ++asked;
        user = m_user;
        password = m_password;
        return true;
    }
    bool AcceptCertificate(unsigned long, const qxplat::HttpCertificate&) override { return false; }

private:
    std::wstring m_user;
    std::wstring m_password;
};

class DownloadFileTest : public ::testing::Test {
protected:
    // Writes qxurl.net with these download servers (none: the request servers stand in) and
    // makes a downloader with a fresh session of the demo user.
    void Configure(const std::vector<std::wstring>& downloadUrls,
                   QXLanguageBase language = kQXEnglishBase, const std::string& settings = "") {
        std::string text = "[Config]\r\n" + settings;
        if (!downloadUrls.empty())
            text += "[FileDownload]\r\n";
        for (std::size_t i = 0; i < downloadUrls.size(); ++i)
            text += "URL" + std::to_string(i + 1) + "=" + Narrow(downloadUrls[i]) + "\r\n";
        WriteBytes(m_install.Path() / "qxurl.net", text);
        ASSERT_TRUE(m_config.SetInstallationPath(m_install.Path().wstring()));
        m_downloader = std::make_unique<CQXLDownloader>(m_log.Log(), language);
        m_downloader->SetConfiguration(&m_config);
        m_downloader->SetSessionId(m_server.Session("demo"));
        m_downloader->SetApplicationName(L"Demo");
        m_downloader->SetVersionName(L"2.0");
        m_fetcher = std::make_unique<CQXLFileFetcher>(*m_downloader);
        ASSERT_TRUE(m_fetcher->CreateDownloadDirectory(InstallDir(), L"_QXLTmp" + kSep));
    }
    // Points the downloader at url alone, through a configuration of its own.
    void UseOnly(const std::wstring& url) {
        WriteBytes(m_other.Path() / "qxurl.net",
                   "[Config]\r\n[FileDownload]\r\nURL1=" + Narrow(url) + "\r\n");
        ASSERT_TRUE(m_otherConfig.SetInstallationPath(m_other.Path().wstring()));
        m_downloader->SetConfiguration(&m_otherConfig);
    }
    // The fixture's server twice: the two attempts of a failover reach the same server.
    void ConfigureTwice() { Configure({m_server.Url(), m_server.Url()}); }

    std::wstring InstallDir() const { return m_install.Path().wstring() + kSep; }
    fs::path TempPath(const std::string& relative) const {
        return m_install.Path() / "_QXLTmp" / fs::u8path(relative);
    }

    // A file of the list as the server gives it at "dl/<folder>/<name>".
    std::unique_ptr<CQXLFile> ServerFile(const std::string& folder, const std::string& name,
                                         const std::string& bytes) {
        const std::uint32_t checksum = m_server.AddReleaseFile(folder + name, bytes);
        return ListFile(folder, name, bytes.size(), checksum);
    }
    std::unique_ptr<CQXLFile> ListFile(const std::string& folder, const std::string& name,
                                       std::size_t size, std::uint32_t checksum) {
        auto file = std::make_unique<CQXLFile>(m_log.Log());
        file->SetFile(Wide(name), checksum, static_cast<std::int32_t>(size), ModeDelta, 0, 0,
                      folder.empty() ? L"--" : Wide(folder));
        return file;
    }

    QxServer m_server;
    TestLog m_log;
    TempDir m_install;
    CQXUrlParser m_config;
    TempDir m_other;
    CQXUrlParser m_otherConfig;
    std::unique_ptr<CQXLDownloader> m_downloader;
    std::unique_ptr<CQXLFileFetcher> m_fetcher;
};

} // namespace

TEST(DownloadMonitorTest, MovesTheBarByScaleFromBaseAndWrapsTheByteCountAt32Bits) {
    RecordingWindow window;
    CQXLDownloadMonitor monitor;
    monitor.SetWindow(&window);
    monitor.SetScale(0.5);
    monitor.SetBase(100);
    monitor.SetDone(1000);
    monitor.Progress(200);
    monitor.Progress(201); // 600.5 rounds up
    monitor.SetDone(-1);   // 0xFFFFFFFF bytes done: two more wrap to 1
    monitor.Progress(2);
    EXPECT_EQ((std::vector<int>{700, 701, 101}), window.positions);

    // A scale from a zero or tiny total never gives an undefined position.
    monitor.SetDone(0);
    monitor.SetScale(1e300);
    monitor.Progress(1000);
    monitor.SetScale(std::numeric_limits<double>::infinity());
    monitor.Progress(1);
    EXPECT_EQ(window.positions.size(), 4u);
    EXPECT_EQ(window.positions.back(), INT_MAX);
}

TEST_F(DownloadFileTest, EmptyFileIsCreatedWithoutTrafficButNeedsADownloadServer) {
    Configure({L"http://127.0.0.1:1/"});
    const std::size_t before = m_server.LogLineCount();
    const auto empty = ListFile("dl/empty/", "empty.dat", 0, 0);
    WriteBytes(TempPath("stale"), "x");
    ASSERT_TRUE(m_fetcher->GetAppFile(*empty, nullptr));
    EXPECT_TRUE(fs::is_regular_file(TempPath("dl/empty/empty.dat")));
    EXPECT_EQ(0u, fs::file_size(TempPath("dl/empty/empty.dat")));
    EXPECT_EQ(before, m_server.LogLineCount());

    // No download server and no request server: nothing is created.
    TempDir bare;
    WriteBytes(bare.Path() / "qxurl.net", "[Config]\r\n");
    CQXUrlParser none;
    ASSERT_TRUE(none.SetInstallationPath(bare.Path().wstring()));
    m_downloader->SetConfiguration(&none);
    const auto other = ListFile("", "other.dat", 0, 0);
    EXPECT_FALSE(m_fetcher->GetAppFile(*other, nullptr));
    EXPECT_FALSE(fs::exists(TempPath("other.dat")));
}

TEST_F(DownloadFileTest, NestedFileArrivesWholeAndMovesTheBarWithEachBlock) {
    ConfigureTwice();
    const std::string bytes = Pattern(300 * 1024 + 17);
    const auto file = ServerFile("dl/nested/two/", "data.bin", bytes);
    RecordingWindow window;
    CQXLDownloadMonitor monitor;
    monitor.SetWindow(&window);
    monitor.SetScale(1000.0 / static_cast<double>(bytes.size()));
    monitor.SetBase(50);
    ASSERT_TRUE(m_fetcher->GetAppFile(*file, &monitor));
    EXPECT_EQ(bytes, ReadBytes(TempPath("dl/nested/two/data.bin")));
    // Headers count as received bytes too, so the bar ends at or just past 1050.
    ASSERT_GE(window.positions.size(), 5u);
    EXPECT_TRUE(std::is_sorted(window.positions.begin(), window.positions.end()));
    EXPECT_GE(window.positions.back(), 1050);
    EXPECT_LE(window.positions.back(), 1060);
    EXPECT_FALSE(m_log.Contains("Failed to download"));
}

TEST_F(DownloadFileTest, InstallerIsCheckedBesideTheFilesThenMovedIntoTheInstallation) {
    ConfigureTwice();
    const std::string installer = Pattern(70000);
    const auto good = ServerFile("", "QXInstaller.exe", installer);
    WriteBytes(m_install.Path() / "QXInstaller.exe", "old installer");
    ASSERT_TRUE(m_fetcher->GetAppFile(*good, nullptr));
    EXPECT_EQ(installer, ReadBytes(m_install.Path() / "QXInstaller.exe"));
    EXPECT_FALSE(fs::exists(TempPath("QXInstaller.exe")));

    // A copy that does not match the list never replaces the installed one.
    const auto wrong = ListFile("", "qxinstaller.EXE", installer.size(), good->FileChecksum() + 1);
    WriteBytes(m_install.Path() / "QXInstaller.exe", "old installer");
    EXPECT_FALSE(m_fetcher->GetAppFile(*wrong, nullptr));
    EXPECT_EQ("old installer", ReadBytes(m_install.Path() / "QXInstaller.exe"));
    EXPECT_FALSE(fs::exists(TempPath("QXInstaller.exe")));

    // The Linux installer carries no extension and is the installer all the same.
    const auto bare = ServerFile("", "QXInstaller", installer);
    ASSERT_TRUE(m_fetcher->GetAppFile(*bare, nullptr));
    EXPECT_EQ(installer, ReadBytes(m_install.Path() / "QXInstaller"));
    EXPECT_FALSE(fs::exists(TempPath("QXInstaller")));
}

TEST_F(DownloadFileTest, BadInstallerCopyUnderEitherCaseLeavesTheInstalledOneUntouched) {
    ConfigureTwice();
    const std::string installer = Pattern(70000);
    for (const std::string name : {"QXInstaller.exe", "qxinstaller.exe"}) {
        const std::uint32_t checksum = m_server.AddReleaseFile(name, installer);
        WriteBytes(m_install.Path() / "QXInstaller.exe", "old installer");
        const auto wrong = ListFile("", name, installer.size(), checksum ^ 1);
        EXPECT_FALSE(m_fetcher->GetAppFile(*wrong, nullptr)) << name;
        EXPECT_EQ("old installer", ReadBytes(m_install.Path() / "QXInstaller.exe")) << name;
        // On a case-sensitive file system no second installer appears beside it either.
        int installers = 0;
        for (const auto& entry : fs::directory_iterator(m_install.Path())) {
            std::string entryName = entry.path().filename().string();
            std::transform(entryName.begin(), entryName.end(), entryName.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            installers += entryName == "qxinstaller.exe" ? 1 : 0;
        }
        EXPECT_EQ(1, installers) << name;
        EXPECT_FALSE(fs::exists(TempPath(name))) << name;
        fs::remove(m_server.ReleaseFolder("Demo", "2.0") / name);
    }
}

TEST_F(DownloadFileTest, StalledServerFailsOver) {
    ConfigureTwice();
    const std::string bytes = Pattern(200 * 1024);
    // The stall outlasts the receive time-out four times over, however slow the machine.
    m_fetcher->SetDownloadTimeoutsForTests(30000, 2000);
    const auto stalled = ServerFile("dl/faults/", "stall.bin", bytes);
    const std::size_t before = m_server.LogLineCount();
    m_server.Fault("GetAppFile", "stall=8000");
    ASSERT_TRUE(m_fetcher->GetAppFile(*stalled, nullptr));
    EXPECT_EQ(bytes, ReadBytes(TempPath("dl/faults/stall.bin")));
    EXPECT_EQ(1u, Occurrences(m_log.Text(), "Failed to download from"));
    // The server logs the stalled request once its stall is over: wait for that line, so
    // that no later test of this shared server counts it as its own.
    EXPECT_TRUE(WaitUntil([&] { return m_server.CountLogLines(before, {"/GetAppFile\""}) == 2; }));
}

TEST_F(DownloadFileTest, DrippingServerTimesOutAndTheNextServerDelivers) {
    const std::wstring drip = LoadHttpPeers().drip + L"/drip-body/";
    Configure({drip, m_server.Url()});
    m_downloader->SetMinimumRateWindow(2000);
    const std::string bytes = Pattern(10000);
    const auto file = ServerFile("dl/", "drip.bin", bytes);
    ASSERT_TRUE(m_fetcher->GetAppFile(*file, nullptr));
    EXPECT_EQ(bytes, ReadBytes(TempPath("dl/drip.bin")));
    EXPECT_TRUE(m_log.Contains("Error while retrieving file drip.bin : "));
    EXPECT_TRUE(m_log.Contains("Failed to download from " + Narrow(drip)));
}

TEST_F(DownloadFileTest, PathsThatLeaveTheDownloadDirectoryAreRefusedWithoutARequest) {
    ConfigureTwice();
    const std::size_t before = m_server.LogLineCount();
    CQXLFile climbing(m_log.Log());
    climbing.SetFile(L"evil.bin", 1, 10, ModeDelta, 0, 0, L"..\\..\\outside");
    EXPECT_FALSE(m_fetcher->GetAppFile(climbing, nullptr));
    EXPECT_EQ(before, m_server.LogLineCount());
    EXPECT_TRUE(m_log.Contains("Refused to download"));

    EXPECT_FALSE(
        m_fetcher->CreatePathDirectories(m_fetcher->GetDownloadDirectory(), L"a/../../escape/"));
    EXPECT_FALSE(fs::exists(m_install.Path() / "escape"));
    EXPECT_TRUE(m_fetcher->CreatePathDirectories(m_fetcher->GetDownloadDirectory(), L"a\\b/c"));
    EXPECT_TRUE(fs::is_directory(TempPath("a/b/c")));
}

TEST_F(DownloadFileTest, ProxyCredentialsAskedOnceGoWithEveryLaterDownload) {
    const HttpPeers peers = LoadHttpPeers();
    const ProxyEnvironment environment(peers.proxy);
    Configure({m_server.Url()});
    const auto first = ServerFile("dl/proxy/", "first.bin", Pattern(3000));
    const auto second = ServerFile("dl/proxy/", "second.bin", Pattern(4000));

    // Without credentials and without anybody to ask, the proxy's refusal is no file.
    EXPECT_FALSE(m_fetcher->GetAppFile(*first, nullptr));
    EXPECT_TRUE(m_log.Contains("Status code error : 407"));
    EXPECT_FALSE(fs::exists(TempPath("dl/proxy/first.bin")));

    CredentialPrompt prompt(peers.proxyUser, peers.proxyPassword);
    m_downloader->SetPrompt(&prompt);
    ASSERT_TRUE(m_fetcher->GetAppFile(*first, nullptr));
    EXPECT_TRUE(m_log.Contains(" ... WinINet asked for RETRY on POST["));
    EXPECT_EQ(peers.proxyUser, m_downloader->GetProxyUserName());
    EXPECT_EQ(peers.proxyPassword, m_downloader->GetProxyPassword());
    ASSERT_TRUE(m_fetcher->GetAppFile(*second, nullptr));
    EXPECT_EQ(1, prompt.asked);
    EXPECT_EQ(Pattern(4000), ReadBytes(TempPath("dl/proxy/second.bin")));
}

// Two fetchers side by side meet the proxy's question at once: the user answers it once, and
// the other fetcher's request goes again with that answer.
TEST_F(DownloadFileTest, ProxyQuestionOfFetchersSideBySideIsAskedOnce) {
    const HttpPeers peers = LoadHttpPeers();
    const ProxyEnvironment environment(peers.proxy);
    Configure({m_server.Url()});
    const auto first = ServerFile("dl/proxy/", "left.bin", Pattern(3000));
    const auto second = ServerFile("dl/proxy/", "right.bin", Pattern(4000));
    // A user slow to answer, so that the other fetcher meets the question meanwhile.
    class SlowPrompt : public CredentialPrompt {
    public:
        using CredentialPrompt::CredentialPrompt;
        bool AskProxyCredentials(std::wstring& user, std::wstring& password) override {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            return CredentialPrompt::AskProxyCredentials(user, password);
        }
    } prompt(peers.proxyUser, peers.proxyPassword);
    m_downloader->SetPrompt(&prompt);
    const std::unique_ptr<CQXLFileFetcher> sibling = m_fetcher->Sibling();
    auto right =
        std::async(std::launch::async, [&] { return sibling->GetAppFile(*second, nullptr); });
    EXPECT_TRUE(m_fetcher->GetAppFile(*first, nullptr));
    EXPECT_TRUE(right.get());
    EXPECT_EQ(1, prompt.asked);
    EXPECT_EQ(Pattern(4000), ReadBytes(TempPath("dl/proxy/right.bin")));
}

// Refuses every certificate problem, as a user who answers no.
class CertificateRefusal : public qxplat::HttpPrompt {
public:
    bool AskProxyCredentials(std::wstring&, std::wstring&) override { return false; }
    bool AcceptCertificate(unsigned long, const qxplat::HttpCertificate&) override { return false; }
};

TEST_F(DownloadFileTest, SelfSignedServerIsRefusedWithoutTheLeniencySwitch) {
    Configure({m_server.TlsUrl()});
    CertificateRefusal refusal;
    m_downloader->SetPrompt(&refusal);
    const auto file = ServerFile("dl/tls/", "strict.bin", Pattern(2000));
    EXPECT_FALSE(m_fetcher->GetAppFile(*file, nullptr));
    EXPECT_TRUE(m_log.Contains("Unable to download file strict.bin : "));
    EXPECT_TRUE(m_log.Contains("(the server certificate may be invalid)"));
    EXPECT_FALSE(fs::exists(TempPath("dl/tls/strict.bin")));
}

TEST_F(DownloadFileTest, SelfSignedServerDeliversWithTheLeniencySwitch) {
    Configure({m_server.TlsUrl()}, kQXEnglishBase, "SecurityIgnoreUnknownCertificate=Yes\r\n");
    CertificateRefusal refusal;
    m_downloader->SetPrompt(&refusal);
    const auto file = ServerFile("dl/tls/", "lenient.bin", Pattern(2000));
    ASSERT_TRUE(m_fetcher->GetAppFile(*file, nullptr));
    EXPECT_EQ(Pattern(2000), ReadBytes(TempPath("dl/tls/lenient.bin")));
}

TEST_F(DownloadFileTest, SignedListRefusesACopyWithTheRightSizeAndChecksumButAnotherSha256) {
    Configure({m_server.Url(), m_server.Url()}, kQXEnglishBase,
              "[QXLauncher]\r\nUpdatePublicKey=MFkw\r\n");
    // The 32-bit sum is easy to collide: one more in a byte and 131 less in the next (0x7F
    // becomes 0xFC) give the same checksum.
    std::string listed = Pattern(70000);
    listed[100] = 0x10;
    listed[101] = 0x7F;
    std::string served = listed;
    served[100] = 0x11;
    served[101] = static_cast<char>(0xFC);
    for (const std::string name : {"QXInstaller.exe", "data.bin"}) {
        const auto file = ServerFile("", name, served);
        EXPECT_EQ(file->FileChecksum(), ChecksumOf(listed));
        file->SetSha256(Wide(Sha256Of(listed)));
        WriteBytes(m_install.Path() / "QXInstaller.exe", "old installer");
        EXPECT_FALSE(m_fetcher->GetAppFile(*file, nullptr)) << name;
        EXPECT_EQ(2u, Occurrences(m_log.Text(), "Downloaded file " + name +
                                                    " differs from the signed list : SHA-256 " +
                                                    Sha256Of(served)));
        EXPECT_EQ("old installer", ReadBytes(m_install.Path() / "QXInstaller.exe"));
        EXPECT_FALSE(fs::exists(TempPath(name))) << name;

        file->SetSha256(Wide(Sha256Of(served)));
        ASSERT_TRUE(m_fetcher->GetAppFile(*file, nullptr)) << name;
        EXPECT_EQ(served, ReadBytes(name == "data.bin" ? TempPath(name)
                                                       : m_install.Path() / "QXInstaller.exe"));
    }

    // A file without a SHA-256 is never asked for; an empty one must list the empty digest.
    const std::size_t before = m_server.LogLineCount();
    const auto bare = ServerFile("", "bare.bin", served);
    EXPECT_FALSE(m_fetcher->GetAppFile(*bare, nullptr));
    EXPECT_TRUE(m_log.Contains("Refused to download \"bare.bin\" : no SHA-256 from a signed list"));
    EXPECT_EQ(before, m_server.LogLineCount());
    const auto empty = ListFile("", "empty.bin", 0, 0);
    empty->SetSha256(Wide(Sha256Of(listed)));
    EXPECT_FALSE(m_fetcher->GetAppFile(*empty, nullptr));
    EXPECT_FALSE(fs::exists(TempPath("empty.bin")));
    empty->SetSha256(Wide(Sha256Of("")));
    EXPECT_TRUE(m_fetcher->GetAppFile(*empty, nullptr));
    EXPECT_TRUE(fs::exists(TempPath("empty.bin")));
}
