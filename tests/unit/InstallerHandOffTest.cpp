#include <chrono>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/InstallerPipe.h"
#include "platform/System.h"
#include "support/FakeProgram.h"
#include "support/Installation.h"
#include "ui/QXLProgressWindow.h"

namespace fs = std::filesystem;

namespace {

class NoPause : public IQXLClock {
public:
    void Sleep(std::chrono::milliseconds) override {}
};

// A progress window that keeps its status texts and, once told to wait, lets the pipe that
// holder holds go when release says so.
struct StatusOnly : IQXLProgressWindow {
    void SetStatusText(const std::wstring& text) override {
        texts.push_back(text);
        if (release)
            holder.reset();
    }
    void SetRange(int, int) override {}
    void SetPosition(int) override {}
    void Show() override {}
    void Hide() override {}
    void Close() override {}

    std::vector<std::wstring> texts;
    std::optional<qxplat::InstallerPipeServer> holder;
    bool release = false;
};

// The installer hand-off with the stand-in installer, which answers as its script says.
class InstallerHandOffTest : public ::testing::Test {
protected:
    InstallerHandOffTest() : m_install({L"http://127.0.0.1:1/"}) {
        m_install.Starter().SetClock(&m_noPause);
        m_install.Client().SetSessionId(L"5E55");
        m_install.Server().SetSessionUserName(L"demo");
        // Long enough never to decide a test: each wait here ends with the installer.
        m_install.Installer().SetInstallerConnectTimeoutForTests(std::chrono::seconds(20));
    }

    fs::path Folder() { return fs::path(m_install.Application().InstallationDirectory()); }
    int Run(int& selfUpdate) { return m_install.Installer().RunInstaller(selfUpdate); }
    std::string LastError() {
        const std::vector<std::string> lines = ErrorLines(m_install.Log());
        return lines.empty() ? std::string() : lines.back();
    }

    // The installation folder goes with the test; a running program would keep it.
    void WaitForInstallerToEnd() {
        ASSERT_TRUE(m_install.Starter().LastStarted());
        EXPECT_TRUE(
            m_install.Starter().LastStarted()->WaitForExit(std::chrono::seconds(30)).has_value());
    }

    NoPause m_noPause;
    Installation m_install;
};

} // namespace

TEST_F(InstallerHandOffTest, OnlyAVerdictThatBeginsWithStxEndIsSuccess) {
    const std::vector<std::pair<std::string, int>> verdicts = {
        {"\x02"
         "END",
         1},
        {"\x02"
         "END all files installed",
         1},
        {"END", 0},
        {"disk full\r\n** forged line", 0},
        {"\x02"
         "EN",
         0},
    };
    for (const auto& [verdict, expected] : verdicts) {
        SCOPED_TRACE(verdict);
        PlaceFakeInstaller(Folder(), FakeVerdictScript(0, verdict));
        int selfUpdate = 0;
        EXPECT_EQ(Run(selfUpdate), expected);
        EXPECT_EQ(selfUpdate, 0);
        EXPECT_EQ(FakeArguments(Folder(), "QXInstaller"), "-QXL\n");
        fs::remove(Folder() / "QXInstaller-args.txt");
        WaitForInstallerToEnd(); // a running program cannot be replaced
        if (expected == 0) {
            EXPECT_EQ(LastError().rfind("QXInstaller failed to install all files : ", 0), 0u);
        }
    }
    // The installer's text stays on one log line.
    EXPECT_EQ(ErrorLines(m_install.Log()),
              (std::vector<std::string>{
                  "QXInstaller failed to install all files : END",
                  "QXInstaller failed to install all files : disk full  ** forged line",
                  "QXInstaller failed to install all files :  EN"}));
}

TEST_F(InstallerHandOffTest, InstallerThatEndsWithoutAVerdictFailsWithoutWaitingOut) {
    PlaceFakeInstaller(Folder(), FakeExitScript());
    int selfUpdate = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(selfUpdate), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    EXPECT_EQ(FakeArguments(Folder(), "QXInstaller"), "-QXL\n");
    EXPECT_TRUE(ErrorLines(m_install.Log()).empty());

    // No installer at all: the start fails and says so.
    fs::remove(Folder() / FakeProgramName("QXInstaller"));
    EXPECT_EQ(Run(selfUpdate), 0);
    EXPECT_EQ(LastError().rfind("Unable to launch ", 0), 0u) << LastError();
}

// Another update holds the pipe: this one waits for it, then installs, or after a bounded
// time fails as before without starting its installer.
TEST_F(InstallerHandOffTest, WaitsWhileAnotherUpdateHoldsThePipe) {
    PlaceFakeInstaller(Folder(), FakeVerdictScript(0, "\x02"
                                                      "END"));
    StatusOnly status;
    m_install.Installer().SetProgressWindow(&status);
    for (const bool released : {true, false}) {
        SCOPED_TRACE(released);
        status.holder = qxplat::InstallerPipeServer::Create();
        ASSERT_TRUE(status.holder.has_value());
        status.release = released;
        m_install.Installer().SetInstallerPipeWaitForTests(
            released ? std::chrono::seconds(60) : std::chrono::milliseconds(500));
        int selfUpdate = 0;
        EXPECT_EQ(Run(selfUpdate), released ? 1 : 0);
        EXPECT_EQ(status.texts, std::vector<std::wstring>{
                                    L"Another update is in progress, waiting for it to end ..."});
        EXPECT_TRUE(m_install.Log().Contains("Another update holds the installer pipe"));
        status.texts.clear();
        if (released)
            WaitForInstallerToEnd();
    }
    EXPECT_EQ(LastError().rfind("Unable to create the installer pipe : ", 0), 0u) << LastError();
    EXPECT_EQ(FakeArguments(Folder(), "QXInstaller"), "-QXL\n");
}

TEST_F(InstallerHandOffTest, TwoUpdatesAtOnceBothSucceed) {
    Installation other({L"http://127.0.0.1:1/"});
    other.Starter().SetClock(&m_noPause);
    for (Installation* install : {&m_install, &other}) {
        PlaceFakeInstaller(install->Application().InstallationDirectory(),
                           FakeVerdictScript(1000, "\x02"
                                                   "END"));
        install->Installer().SetInstallerConnectTimeoutForTests(std::chrono::seconds(20));
    }
    auto second = std::async(std::launch::async, [&other] {
        int selfUpdate = 0;
        return other.Installer().RunInstaller(selfUpdate);
    });
    int selfUpdate = 0;
    EXPECT_EQ(Run(selfUpdate), 1) << m_install.Log().Text();
    EXPECT_EQ(second.get(), 1) << other.Log().Text();
    WaitForInstallerToEnd();
    EXPECT_TRUE(other.Starter().LastStarted()->WaitForExit(std::chrono::seconds(30)).has_value());
}

TEST_F(InstallerHandOffTest, InstallerThatNeverConnectsEndsAtTheTimeOut) {
    PlaceFakeInstaller(Folder(), FakeExitScript(3000));
    m_install.Installer().SetInstallerConnectTimeoutForTests(std::chrono::milliseconds(300));
    int selfUpdate = 0;
    EXPECT_EQ(Run(selfUpdate), 0);
    EXPECT_TRUE(ErrorLines(m_install.Log()).empty());
    WaitForInstallerToEnd();
}

TEST_F(InstallerHandOffTest, AnotherProgramThatConnectsFirstIsTurnedAway) {
    // The installer answers late, after the other program has tried with a success verdict.
    PlaceFakeInstaller(Folder(), FakeVerdictScript(3000, "disk full"));
    // A flood of them: one line and a count. The first waits for the pipe however slowly the
    // launcher gets to it, so that the flood comes while only the installer is awaited.
    auto impostor = std::async(std::launch::async, [] {
        const std::string success = "\x02"
                                    "END";
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!qxplat::InstallerPipeClient::Connect(std::chrono::milliseconds(500)) &&
               std::chrono::steady_clock::now() < end) {
        }
        for (int i = 0; i < 19; ++i)
            qxplat::SendInstallerVerdict(success, std::chrono::milliseconds(500));
    });
    int selfUpdate = 0;
    EXPECT_EQ(Run(selfUpdate), 0);
    impostor.wait();
    const std::vector<std::string> errors = ErrorLines(m_install.Log());
    ASSERT_EQ(errors.size(), 3u) << (errors.empty() ? std::string() : errors[0]);
    EXPECT_EQ(errors[0].rfind("Refused a connection to the installer pipe : process ", 0), 0u)
        << errors[0];
    EXPECT_EQ(errors[1].rfind("Refused ", 0), 0u) << errors[1];
    EXPECT_NE(errors[1].find(" connections to the installer pipe in all"), std::string::npos);
    EXPECT_EQ(errors[2], "QXInstaller failed to install all files : disk full");
}

TEST_F(InstallerHandOffTest, SelfUpdateHandsTheSessionToTheInstallerAndReturnsAtOnce) {
    m_install.Server().ReadFileList(
        L"COLONNES=FileName|S;FileSize|N;FileChecksum|N;FileMode|S;FilePath|S;\r\n"
        L"TBLDATBEGIN_99\r\nQXLauncher.exe\t4\t1\tdelta\t--\r\nTBLDATEND_99");
    ASSERT_EQ(m_install.Application().Files().LauncherUpdate(), 1);
    // A script that would answer on the pipe: the self-update form never reads it.
    PlaceFakeInstaller(Folder(), FakeExitScript());
    int selfUpdate = 0;
    EXPECT_EQ(Run(selfUpdate), 1);
    EXPECT_EQ(selfUpdate, 1);
    EXPECT_TRUE(WaitForFakeArguments(Folder(), "QXInstaller"));
    EXPECT_EQ(FakeArguments(Folder(), "QXInstaller"), "-SID:5E55,demo\n");
    WaitForInstallerToEnd();
}
