#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/QXLProcess.h"
#include "platform/System.h"
#include "support/BusyFile.h"
#include "support/FakeProgram.h"
#include "support/Installation.h"
#include "support/QxServer.h"
#include "support/ScriptedProgress.h"
#include "support/TempDir.h"
#include "ui/QXLScriptedUserInterface.h"
#include "ui/QXLWarnUpdateDlg.h"

namespace fs = std::filesystem;

namespace {

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

class NoPause : public IQXLClock {
public:
    void Sleep(std::chrono::milliseconds) override {}
};

// The machine's restart as the tests see it: recorded, never done.
class RecordingRestart : public IQXLRestart {
public:
    bool Restart() override {
        ++calls;
        return accept;
    }
    int calls = 0;
    bool accept = true;
};

// The primary application's window "exists" once the stand-in started as qxflux has run.
class StartedWindowFinder : public IQXLWindowFinder {
public:
    explicit StartedWindowFinder(fs::path folder) : m_folder(std::move(folder)) {}
    bool WindowOfClassExists(const std::wstring&) override {
        return !FakeArguments(m_folder, "qxflux").empty();
    }

private:
    fs::path m_folder;
};

// The update sequence of a launcher context in a folder of its own, against an application of
// its own on the fixture's qxserver: one new file to fetch, a stand-in installer and a
// stand-in primary application in the installation, the scripted user interface and a
// recording restart.
class UpdateSequenceTest : public ::testing::Test {
protected:
    UpdateSequenceTest()
        : m_application("Upd" +
                        std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())
                            .substr(0, 40)),
          m_windows(m_dir.Path()) {
        m_application.erase(std::remove(m_application.begin(), m_application.end(), '_'),
                            m_application.end());
        WriteBytes(m_dir.Path() / "QXLauncher.ini",
                   "[LOG]\r\nactivateLog=1\r\nerror=1\r\nwarning=1\r\ninfo=1\r\nproduction=1\r\n");
        PlaceFakeProgram(m_dir.Path(), "qxflux");
        PlaceFakeInstaller(m_dir.Path(), FakeVerdictScript(0, "\x02"
                                                              "END"));
        Release("data.bin", "new data");
    }
    void TearDown() override {
        // A failure shows what the run logged and what the server saw during it.
        if (HasFailure())
            std::cout << "The run's log:\n"
                      << m_log << "The server's access log:\n"
                      << m_server.LogFrom(m_requests);
    }
    ~UpdateSequenceTest() override {
        // The installation folder goes with the test; a program still running would keep it.
        if (m_process && m_process->GetProgramStarter().LastStarted())
            m_process->GetProgramStarter().LastStarted()->WaitForExit(std::chrono::seconds(30));
    }

    // A file of the application's release on the server.
    void Release(const std::string& relative, const std::string& bytes) {
        const fs::path path = m_server.ReleaseFolder(m_application, "1.0") / relative;
        fs::create_directories(path.parent_path());
        WriteBytes(path, bytes);
    }

    // Writes the application's settings and the installation's qxurl.net, opens a session of
    // its own and runs the whole launch sequence with it handed over on the command line.
    void RunUpdate(const std::string& versionSettings, const std::string& configLines = "") {
        Prepare(versionSettings, configLines);
        std::wstring session;
        {
            Installation login({m_server.Url()});
            EXPECT_EQ(login.Server().LoginStep(L"demo", L"demo", std::nullopt).result,
                      QXLLogin::LoggedIn);
            session = login.Client().GetSessionId();
        }
        NewProcess(L"-SID:" + session + L",demo");
        Judge([this] { return m_process->RunSequence(); });
    }

    // The steps before the update one by one, with every download server marked unreachable
    // by an earlier failover, then the update sequence alone; its result.
    int RunUpdateWithoutFileServer(const std::string& versionSettings,
                                   const std::string& configLines) {
        return RunUpdateSteps(versionSettings, configLines, [](CQXLProcess& process) {
            CQXUrlServerList& servers = process.GetConfiguration().GetDownloadServerList();
            for (int i = 0; i < servers.GetCount(); ++i)
                servers.NextServer();
        });
    }

    // The steps before the update one by one, then before(process), then the update sequence
    // alone; its result.
    template <typename Before>
    int RunUpdateSteps(const std::string& versionSettings, const std::string& configLines,
                       Before before) {
        Prepare(versionSettings, configLines);
        NewProcess(L"");
        CQXLServerClient& server = m_process->GetServerClient();
        m_process->GetApplication().SetInstallationDirectory(m_dir.Path().wstring());
        EXPECT_EQ(server.LoginStep(L"demo", L"demo", std::nullopt).result, QXLLogin::LoggedIn);
        EXPECT_TRUE(server.GetApplicationInfo());
        EXPECT_TRUE(server.GetPrimaryApplication());
        EXPECT_TRUE(server.GetFileList());
        before(*m_process);
        return Judge([this] { return m_process->UpdateFiles(); });
    }

    void Prepare(const std::string& versionSettings, const std::string& configLines) {
        const fs::path folder = m_server.ReleaseFolder(m_application, "1.0").parent_path();
        WriteBytes(folder / "application.ini",
                   "[Application]\r\nLabel=Sample App\r\nVersion=1.0\r\n");
        WriteBytes(folder / "1.0.ini", "[Version]\r\nPrimaryName=qxflux.exe\r\n"
                                       "PrimaryParameters=-CS $SESSIONID$ $USERNAME$\r\n" +
                                           versionSettings);
        WriteBytes(m_dir.Path() / "qxurl.net",
                   "[Config]\r\nURL1=" + std::string(m_server.Url().begin(), m_server.Url().end()) +
                       "\r\n[QXLauncher]\r\nApplicationName=" + m_application + "\r\n" +
                       configLines);
    }

    void NewProcess(const std::wstring& commandLine) {
        const std::wstring program = (m_dir.Path() / Wide(FakeProgramName("QXLauncher"))).wstring();
        m_process = std::make_unique<CQXLProcess>(&m_ui, kQXEnglishBase, commandLine,
                                                  m_dir.Path().wstring(), program);
        SQXLServices services;
        services.userInterface = &m_ui;
        services.windows = &m_windows;
        services.clock = &m_noPause;
        services.restart = &m_restart;
        m_process->SetServices(services);
    }

    // Runs step; each run is judged by what it added: the log, the boxes and dialogs, and the
    // server's requests.
    template <typename Step>
    int Judge(Step step) {
        const fs::path logFile = m_process->GetLog().GetLogFilePath();
        const std::size_t logStart = fs::exists(logFile) ? ReadBytes(logFile).size() : 0;
        m_boxStart = m_ui.MessageBoxes().size();
        m_dialogStart = m_ui.Dialogs().size();
        m_requests = m_server.LogLineCount();
        const int result = step();
        m_log = ReadBytes(logFile).substr(logStart);
        return result;
    }

    bool Logged(const std::string& text) const { return m_log.find(text) != std::string::npos; }
    // The run's error lines ("**" records), without their headers.
    std::vector<std::string> Errors() const {
        std::vector<std::string> lines;
        for (std::size_t at = 0; at < m_log.size();) {
            std::size_t end = m_log.find('\n', at);
            end = end == std::string::npos ? m_log.size() : end;
            const std::string line = m_log.substr(at, end - at);
            const std::size_t text = line.find("] - ");
            if (line.rfind("**", 0) == 0 && text != std::string::npos)
                lines.push_back(line.substr(text + 4, line.find_last_not_of('\r') - text - 3));
            at = end + 1;
        }
        return lines;
    }
    // Whether service was asked count times since the update began. The server writes its
    // access line after it has answered, so a line may come a moment later.
    bool Requested(const std::string& service, std::size_t count) const {
        return WaitUntil(
            [&] { return m_server.CountLogLines(m_requests, {"/" + service + "\""}) == count; });
    }
    std::string Session() const {
        const std::wstring& id = m_process->GetServerClient().GetSessionId();
        return std::string(id.begin(), id.end());
    }
    // The primary application's starts, one line of arguments each.
    std::string PrimaryStarts() const { return FakeArguments(m_dir.Path(), "qxflux"); }
    std::string InstallerStarts() const { return FakeArguments(m_dir.Path(), "QXInstaller"); }
    // The run's message boxes and update warning dialogs.
    std::vector<SQXLMessageBoxRecord> Boxes() const {
        const auto all = m_ui.MessageBoxes();
        return {all.begin() + static_cast<std::ptrdiff_t>(m_boxStart), all.end()};
    }
    std::vector<std::wstring> BoxTexts() const {
        std::vector<std::wstring> texts;
        for (const SQXLMessageBoxRecord& box : Boxes())
            texts.push_back(box.text);
        return texts;
    }
    // The run's update warning dialogs.
    std::vector<SQXLDialogRecord> Dialogs() const {
        const auto all = m_ui.Dialogs();
        std::vector<SQXLDialogRecord> warnings;
        for (auto it = all.begin() + static_cast<std::ptrdiff_t>(m_dialogStart); it != all.end();
             ++it)
            if (it->templateId == CQXLWarnUpdateDlg::kTemplate)
                warnings.push_back(*it);
        return warnings;
    }

    QxServer m_server;
    TempDir m_dir;
    std::string m_application;
    CQXLScriptedUserInterface m_ui;
    StartedWindowFinder m_windows;
    NoPause m_noPause;
    RecordingRestart m_restart;
    std::unique_ptr<CQXLProcess> m_process;
    std::size_t m_requests = 0;
    std::size_t m_boxStart = 0;
    std::size_t m_dialogStart = 0;
    std::string m_log;
};

} // namespace

TEST_F(UpdateSequenceTest, CurrentFilesNeedNoUpdateAndTheApplicationStarts) {
    WriteBytes(m_dir.Path() / "data.bin", "new data");
    RunUpdate("DaysBeforeForceUpdateValue=-1\r\n");
    EXPECT_TRUE(Logged("EXIT : no update needed"));
    EXPECT_FALSE(Logged("Begin check locked files"));
    EXPECT_TRUE(Dialogs().empty());
    EXPECT_EQ(PrimaryStarts(), "-CS " + Session() + " demo\n");
    EXPECT_TRUE(Requested("GetAppFile", 0));
}

TEST_F(UpdateSequenceTest, NoReachableFileServerAsksWhetherToGoOnWithoutTheUpdate) {
    const std::string dead = "[FileDownload]\r\nURL1=http://127.0.0.1:1/\r\n";
    m_ui.QueueAnswer(kQXIdYes);
    EXPECT_EQ(RunUpdateWithoutFileServer("DaysBeforeForceUpdateValue=0\r\n", dead), 0);
    EXPECT_TRUE(Logged("EXIT : unable to update, no file server is up"));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text,
              L"Unable to update because no file server is reachable. Do you want to continue?");
    EXPECT_EQ(Boxes()[0].flags, kQXMbYesNo | kQXMbSystemModal);
    EXPECT_EQ(Boxes()[0].owner, QXLBoxOwner::ProgressWindow);
    EXPECT_FALSE(PrimaryStarts().empty());
    EXPECT_TRUE(Requested("Logout", 0));

    // No: the session is closed and nothing starts.
    fs::remove(m_dir.Path() / "qxflux-args.txt");
    m_ui.QueueAnswer(kQXIdNo);
    EXPECT_EQ(RunUpdateWithoutFileServer("DaysBeforeForceUpdateValue=0\r\n", dead), 0);
    EXPECT_TRUE(Logged("/// Begin Logout \\\\\\"));
    EXPECT_TRUE(Requested("Logout", 1));
    EXPECT_TRUE(PrimaryStarts().empty());
    EXPECT_TRUE(Requested("GetAppFile", 0));
}

TEST_F(UpdateSequenceTest, DecisionTextFollowsExpiryForceAndDaysLeft) {
    struct Case {
        std::string settings;
        bool question;
        std::wstring text;
    };
    const std::vector<Case> cases = {
        {"DaysBeforeForceUpdateValue=0\r\nForceUpdate=TRUE\r\nWarningForceUpdate=TRUE\r\n", false,
         L"Your Sample App version has expired. Update is now forced and will be done "
         L"automatically."},
        {"DaysBeforeForceUpdateValue=7\r\nForceUpdate=TRUE\r\nWarningForceUpdate=TRUE\r\n", false,
         L"Your Sample App version is not up to date. Launcher is going to update it."},
        {"DaysBeforeForceUpdateValue=-1\r\n", true,
         L"Your Sample App version is not up to date. Do you want to update it ?"},
        {"DaysBeforeForceUpdateValue=5\r\n", true,
         L"Your Sample App version is not the latest one. Update will be forced in 5 days. Do "
         L"you want to update it now?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        fs::remove(m_dir.Path() / "qxflux-args.txt");
        m_ui.QueueWarnEntry({kQXIdNo, 0});
        RunUpdate(c.settings);
        ASSERT_FALSE(Dialogs().empty());
        EXPECT_EQ(Dialogs().back().question, c.question);
        EXPECT_EQ(Dialogs().back().message, c.text);
        // A notice cannot refuse the update; No to a question starts the old application. The
        // run's own log says it: the server's access lines of one case may come late into the
        // next.
        EXPECT_EQ(Logged("data.bin downloaded"), !c.question);
        EXPECT_EQ(Logged("END : user doesn't want to update"), c.question);
        EXPECT_FALSE(PrimaryStarts().empty());
    }
}

TEST_F(UpdateSequenceTest, ForcedUpdateWithoutWarningShowsNothingAndInstalls) {
    RunUpdate("DaysBeforeForceUpdateValue=0\r\n");
    EXPECT_TRUE(Dialogs().empty());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(Logged("PARAM : update is forced because version has expired"));
    EXPECT_TRUE(Logged("PARAM : no force update warning"));
    EXPECT_TRUE(Logged("No locked file found"));
    EXPECT_EQ(ReadBytes(m_dir.Path() / "_QXLTmp" / "data.bin"), "new data");
    EXPECT_NE(
        ReadBytes(m_dir.Path() / "_QXLTmp" / "qxinstaller.txt").find("[Move]\r\nFile1 = data.bin"),
        std::string::npos);

    // The installer reported success: the update is reported, then the application starts
    // without a logout.
    EXPECT_EQ(InstallerStarts(), "-QXL\n");
    EXPECT_TRUE(Requested("AppUpdateDone", 1));
    EXPECT_TRUE(Requested("Logout", 0));
    EXPECT_LT(m_log.find("\\\\\\ End AppUpdateDone ///"), m_log.find("Waiting for qxflux.exe"));
    EXPECT_EQ(PrimaryStarts(), "-CS " + Session() + " demo\n");
    EXPECT_EQ(m_restart.calls, 0);

    // The bar: 23 % after the locked-file check, 96 % after the downloads, full at the end;
    // the status line names each step.
    const std::vector<int> positions = ProgressPositions(m_ui);
    for (int position : {230, 960, 1000})
        EXPECT_NE(std::find(positions.begin(), positions.end(), position), positions.end())
            << position;
    const std::vector<std::wstring> status = ProgressStatusTexts(m_ui);
    for (const wchar_t* text :
         {L"Checking installation directory for locked files.", L"Download needed files",
          L"Downloading data.bin", L"Download done"})
        EXPECT_NE(std::find(status.begin(), status.end(), text), status.end());
    EXPECT_EQ(ProgressCloses(m_ui), 1);
}

TEST_F(UpdateSequenceTest, DownloadTriesThreeTimesBeforeItGivesUp) {
    // Two failures, then the file arrives: warnings only, and the update goes on.
    m_server.Fault("GetAppFile", "status=500", 2);
    RunUpdate("DaysBeforeForceUpdateValue=0\r\n");
    EXPECT_TRUE(Logged("Failed to download data.bin, retry left : 2"));
    EXPECT_TRUE(Logged("Failed to download data.bin, retry left : 1"));
    EXPECT_FALSE(Logged("no retry left"));
    EXPECT_FALSE(Logged("END : failed to update"));
    EXPECT_TRUE(Requested("AppUpdateDone", 1));

    // Three failures: the error box, no instruction file, the old application starts.
    fs::remove_all(m_dir.Path() / "_QXLTmp");
    fs::remove(m_dir.Path() / "qxflux-args.txt");
    fs::remove(m_dir.Path() / "QXInstaller-args.txt");
    m_server.Fault("GetAppFile", "status=500", 3);
    RunUpdate("DaysBeforeForceUpdateValue=0\r\n");
    EXPECT_TRUE(Logged("Failed to download data.bin, no retry left"));
    // Each attempt's reason is an error line of its own, and the last one ends the update. The
    // old application starts afterwards and may add lines of its own.
    const std::vector<std::string> errors = Errors();
    const auto end =
        std::find(errors.begin(), errors.end(), "END : failed to update : download error");
    ASSERT_NE(end, errors.end());
    ASSERT_NE(end, errors.begin());
    EXPECT_EQ(end[-1], "Failed to download data.bin, no retry left");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, L"Download Error : impossible to update. (3)");
    EXPECT_EQ(Boxes()[0].flags, kQXMbOk | kQXMbIconHand | kQXMbSystemModal);
    EXPECT_FALSE(fs::exists(m_dir.Path() / "_QXLTmp" / "qxinstaller.txt"));
    EXPECT_TRUE(InstallerStarts().empty());
    EXPECT_FALSE(PrimaryStarts().empty());
}

TEST_F(UpdateSequenceTest, LockedFileLeadsToTheRestartOrToTheNextLogon) {
    BusyFile busy(m_dir.Path() / "data.bin");
    ASSERT_TRUE(busy.Created());

    // Forced restart that the system refuses: notice, logout, window closed, then the error.
    m_restart.accept = false;
    RunUpdate("DaysBeforeForceUpdateValue=0\r\nForceReboot=TRUE\r\n");
    EXPECT_TRUE(Logged("Reboot is needed to complete update"));
    EXPECT_TRUE(Logged("PARAM : reboot is forced"));
    EXPECT_EQ(BoxTexts(), (std::vector<std::wstring>{
                              L"To complete update, your computer will now restart.",
                              L"Your computer could not have been restarted, please restart it "
                              L"manually. (4)"}));
    EXPECT_EQ(m_restart.calls, 1);
    EXPECT_TRUE(Requested("Logout", 1));
    EXPECT_EQ(ProgressCloses(m_ui), 1);
    EXPECT_TRUE(Logged("Unable to reboot the system"));
    EXPECT_TRUE(PrimaryStarts().empty());
    EXPECT_TRUE(InstallerStarts().empty());
    EXPECT_TRUE(fs::exists(m_dir.Path() / "_QXLTmp" / "qxinstaller.txt"));

    // Not forced, the user declines: the old application starts; the installer waits for the
    // next logon.
    m_ui.QueueAnswer(kQXIdNo);
    RunUpdate("DaysBeforeForceUpdateValue=0\r\n");
    EXPECT_TRUE(Logged("EXIT : User doesn't want to reboot"));
    EXPECT_EQ(m_restart.calls, 1);
    EXPECT_FALSE(PrimaryStarts().empty());
    EXPECT_TRUE(InstallerStarts().empty());

    // Not forced, the user agrees: logout, then the restart.
    fs::remove(m_dir.Path() / "qxflux-args.txt");
    m_restart.accept = true;
    m_ui.QueueAnswer(kQXIdYes);
    RunUpdate("DaysBeforeForceUpdateValue=0\r\n");
    EXPECT_TRUE(Logged("EXIT : User want to reboot"));
    EXPECT_EQ(m_restart.calls, 2);
    EXPECT_TRUE(Requested("Logout", 1));
    EXPECT_TRUE(PrimaryStarts().empty());
}

TEST_F(UpdateSequenceTest, FailedInstallationIsReportedAndTheSessionClosed) {
    PlaceFakeInstaller(m_dir.Path(), FakeVerdictScript(0, "cannot replace data.bin"));
    RunUpdate("DaysBeforeForceUpdateValue=0\r\n");
    EXPECT_TRUE(Logged("QXInstaller failed to install all files : cannot replace data.bin"));
    EXPECT_EQ(BoxTexts(),
              std::vector<std::wstring>{L"The installation has failed, please restart it. (5)"});
    EXPECT_TRUE(Requested("AppUpdateDone", 0));
    EXPECT_TRUE(Requested("Logout", 1));
    EXPECT_TRUE(PrimaryStarts().empty());

    // An instruction file that cannot be written: nothing has changed, so the update ends
    // as a failed download does and the installed version starts.
    fs::remove(m_dir.Path() / "QXInstaller-args.txt");
    fs::remove(m_dir.Path() / "_QXLTmp" / "qxinstaller.txt");
    fs::create_directories(m_dir.Path() / "_QXLTmp" / "qxinstaller.txt");
    RunUpdate("DaysBeforeForceUpdateValue=0\r\n");
    EXPECT_TRUE(Logged("Unable to write batch file"));
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Download Error : impossible to update. (3)"});
    EXPECT_TRUE(InstallerStarts().empty());
    EXPECT_TRUE(Requested("Logout", 0));
    EXPECT_FALSE(PrimaryStarts().empty());
}

TEST_F(UpdateSequenceTest, FailedUpdatesReachTheServerOnlyWhenItTakesReports) {
    // What the server kept of each failure, stage and reason, is read back by
    // UpdateReports.ServerKeepsEachStage.
    const auto failingInstaller = [this] {
        PlaceFakeInstaller(m_dir.Path(), FakeVerdictScript(0, "cannot replace data.bin"));
    };
    const std::vector<std::pair<bool, std::function<void(CQXLProcess&)>>> rows = {
        {true, [this](CQXLProcess&) { m_server.Fault("GetAppFile", "status=500", 3); }},
        {true, [this](CQXLProcess&) { Release("data.bin", "bad data"); }},
        {true, [&](CQXLProcess&) { failingInstaller(); }},
        {false,
         [&](CQXLProcess& process) {
             process.GetApplication().Info().UpdateReports = 0;
             failingInstaller();
         }},
    };
    for (const auto& [announced, fault] : rows) {
        Release("data.bin", "new data");
        fs::remove_all(m_dir.Path() / "_QXLTmp");
        RunUpdateSteps("DaysBeforeForceUpdateValue=0\r\n", "", fault);
        EXPECT_TRUE(Requested("AppUpdateFailed", announced ? 1 : 0));
        EXPECT_EQ(Logged("Update report sent : failed at "), announced);
    }
}

TEST_F(UpdateSequenceTest, SelfUpdateHandsTheSessionOverAndEndsQuietly) {
    Release(FakeProgramName("QXLauncher"), "new launcher");
    fs::remove(m_dir.Path() / "QXInstaller-verdict.txt"); // nobody waits for a verdict
    RunUpdate("DaysBeforeForceUpdateValue=0\r\n");
    ASSERT_TRUE(WaitForFakeArguments(m_dir.Path(), "QXInstaller"));
    EXPECT_EQ(InstallerStarts(), "-SID:" + Session() + ",demo\n");
    EXPECT_TRUE(Requested("Logout", 0));
    EXPECT_TRUE(PrimaryStarts().empty());
    EXPECT_TRUE(Boxes().empty());
}

// Linux copies arrive without run bits: the installer fetched for the launcher's own update,
// replacing one an older download left without them, and a new program of the launch list put
// in place by the real installer must both start.
TEST_F(UpdateSequenceTest, SelfUpdateStartsTheInstallerItFetched) {
    Release(FakeProgramName("QXLauncher"), "new launcher");
    PlaceFakeProgram(m_server.ReleaseFolder(m_application, "1.0"), "QXInstaller");
    WriteBytes(m_dir.Path() / FakeProgramName("QXInstaller"), "old installer");
    fs::permissions(m_dir.Path() / FakeProgramName("QXInstaller"), static_cast<fs::perms>(0644));
    fs::remove(m_dir.Path() / "QXInstaller-verdict.txt");
    RunUpdate("DaysBeforeForceUpdateValue=0\r\n");
    ASSERT_TRUE(WaitForFakeArguments(m_dir.Path(), "QXInstaller"));
}

TEST_F(UpdateSequenceTest, ANewLaunchListProgramRunsAfterTheInstallation) {
    fs::copy_file(fs::path(qxplat::ModulePath()).parent_path().parent_path() / "tools" /
                      "installer" / FakeProgramName("QXInstaller"),
                  m_dir.Path() / FakeProgramName("QXInstaller"),
                  fs::copy_options::overwrite_existing);
    PlaceFakeProgram(m_server.ReleaseFolder(m_application, "1.0"), "tool");
    RunUpdate("DaysBeforeForceUpdateValue=0\r\n[File " + FakeProgramName("tool") +
              "]\r\nLaunch=TRUE\r\n");
    ASSERT_TRUE(WaitForFakeArguments(m_dir.Path(), "tool"));
}
