#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/QXLApplication.h"
#include "app/QXLInstallerHandOff.h"
#include "app/QXLProgramStarter.h"
#include "app/QXLServerClient.h"
#include "app/QXLServices.h"
#include "app/QXLUpdateDownloads.h"
#include "app/QXLUpdateReport.h"
#include "base/QXLanguage.h"
#include "config/QXUrlParser.h"
#include "log/QXLLog.h"
#include "ui/QXLAceNewPinDlg.h"
#include "ui/QXLAceNextPasscodeDlg.h"
#include "ui/QXLAuthenDlg.h"
#include "ui/QXLChangePwdDlg.h"
#include "ui/QXLSelectVersionDlg.h"
#include "update/QXLBatchGenerator.h"
#include "update/QXLDownloadMonitor.h"

class IQXLProgressWindow;

// How a run ends (the finish step's mode).
enum QXLFinishMode : int {
    FinishOffline = 0, // start the primary application with "-b"
    FinishStart = 1,   // start the primary application and the launch list
    FinishReboot = 2,  // nothing started, no logout: a restart follows
    FinishAbort = 3,   // nothing started, no logout
    FinishLogout = 4,  // log out, nothing started
};

// The primary application's main window class.
inline constexpr wchar_t kQXLPrimaryWindowClass[] = L"QXFluxWindowClassName";

// The launcher context: everything one run owns, and the launch sequence that the worker thread
// runs from the first log line to the finish step. Built on the main thread, used by the
// worker thread only.
class CQXLProcess {
public:
    // progressWindow may be null for a run without windows; the context does not own it.
    // commandLine holds the arguments without the program path. The log and the installation
    // live beside the running program.
    CQXLProcess(IQXLProgressWindow* progressWindow, QXLanguageBase languageBase,
                const std::wstring& commandLine);
    // The same run placed elsewhere: the log beside logDirectory (no trailing separator), and
    // programPath standing for the running program's path (empty: the path is unknown).
    CQXLProcess(IQXLProgressWindow* progressWindow, QXLanguageBase languageBase,
                const std::wstring& commandLine, const std::wstring& logDirectory,
                const std::wstring& programPath);
    virtual ~CQXLProcess() = default;

    CQXLProcess(const CQXLProcess&) = delete;
    CQXLProcess& operator=(const CQXLProcess&) = delete;

    // The user interface, window lookup, clock and restart of the run (null members: the
    // system's). Call before RunSequence.
    void SetServices(const SQXLServices& services);

    // The arguments as the system handed them over (without the program), for systems that
    // pass a list: ParseCommandLine then reads them instead of splitting the command line,
    // which stays what the log shows. Call before RunSequence.
    void SetArguments(const std::vector<std::wstring>& arguments) { m_arguments = arguments; }

    // The main sequence. Returns 1 when it handed over to the update sequence, otherwise the
    // finish step's result (0).
    int RunSequence();

    // Stores what the command line hands over: the session ("-SID:id,user"), the proxy
    // credentials and the server credentials. True when a well-formed session was found, so
    // that no login is needed.
    bool ParseCommandLine();

    // Opens a server session: by environment variable, command line or login dialog, with
    // the password-expiry, new PIN and next passcode exchanges; at most two attempts. True
    // when logged in (the exit code becomes 1 after a network error).
    bool LoginUser();

    // The update sequence: decision, locked files, downloads, instruction file, restart or
    // installer, report, finish. 1 after a restart was requested, else the finish's result.
    int UpdateFiles();

    // The one finish step of every path: full bar, start what mode says, stop the keep-alive
    // and, unless keepWindow, close the progress window. Returns 0.
    int Finish(int mode, int keepWindow);

    // Starts the application, waits until it has stopped, logs in again and restarts the
    // keep-alive. 1 when the update may go on, 0 when it has ended the run.
    int WaitForDelayedUpdate();

    // Restarts the machine through the restart service. 1 when the system accepted.
    int Reboot();

    // Moves the bar to ceil(progress maximum x fraction).
    void SetProgress(double fraction);
    void SetStatusText(const std::wstring& text);

    int GetExitCode() const { return m_exitCode; }
    CQXLLog& GetLog() { return m_log; }
    // The parts of the run (see each class).
    CQXUrlParser& GetConfiguration() { return m_configuration; }
    CQXLApplication& GetApplication() { return m_application; }
    CQXLServerClient& GetServerClient() { return m_server; }
    CQXLProgramStarter& GetProgramStarter() { return m_starter; }
    CQXLAuthenDlg& GetAuthenDlg() { return m_authenDlg; }
    CQXLChangePwdDlg& GetChangePwdDlg() { return m_changePwdDlg; }
    CQXLSelectVersionDlg& GetSelectVersionDlg() { return m_selectVersionDlg; }

private:
    enum class Option { None, ProxyLogin, ProxyPassword, ServerLogin, ServerPassword };

    // --- Main sequence ------------------------------------------------------------------------
    void WriteBanner();
    void DumpConfigurationFile(const std::wstring& fileName, bool missingIsError);
    bool TakeInstallationDirectory();
    bool TakeSession(const std::wstring& argument);
    void StoreOptionValue(Option option, const std::wstring& value);
    // Steps from the keep-alive start to the update: the server's answers about the user's
    // application. Ends in a finish step or the update sequence.
    int RunServerSteps();
    bool StartExtendSession();
    void WarnPasswordExpiry();
    void ChooseVersion();

    // --- Login --------------------------------------------------------------------------------
    // What a login attempt leaves to do.
    enum class LoginNext { Done, TryAgain, GiveUp };
    // One login attempt: Done when it logged the user in, GiveUp when nothing more may be
    // tried.
    LoginNext LoginAttempt(const std::wstring& loginVariable);
    // Sends the login with the environment variable's value as user; nullopt when it is unset.
    std::optional<SQXLLoginOutcome> LoginWithVariable(const std::wstring& name);
    // Reacts to a login request's outcome with the exchange it asks for.
    LoginNext DispatchLoginResult(const SQXLLoginOutcome& outcome);
    // The new PIN or next passcode exchange: the dialog, then the login sent again with the
    // value token reads from the dialog once it has ended.
    LoginNext LoginWithToken(CQXLCredentialDlg& dialog, const std::function<std::wstring()>& token,
                             const wchar_t* cancelLine, const wchar_t* errorFormat);
    // The error line of a failed login or password change: format with the outcome's code.
    void LogLoginFailure(const wchar_t* format, const SQXLLoginOutcome& outcome);

    // --- Finish -------------------------------------------------------------------------------
    // Polls every interval until the primary application's window exists, or until the
    // started program has ended (an error line then says so).
    void WaitForPrimaryWindow(bool logged);
    void WaitForPrimaryToStop();

    // Gives the steps that tell of their progress the progress window.
    void SetProgressWindows();

    // --- User interface -----------------------------------------------------------------------
    std::wstring Text(unsigned textId) const;
    // A message box with the caption text; 0 when there is no user interface.
    int ShowBox(const std::wstring& text, unsigned flags,
                QXLBoxOwner owner = QXLBoxOwner::ProgressWindow);
    // A modal dialog's result; Cancel when there is no user interface.
    int ShowDialog(CQXLCredentialDlg& dialog);

    // Steps of the update sequence (QXLProcessUpdate.cpp).
    // The decision: true when the update goes on (forced, or the user said Yes).
    bool UserWantsUpdate();
    // Shows the update warning dialog; its result, 0 without a user interface.
    int ShowWarnUpdate(bool question, const std::wstring& text);
    // Prepares the download monitor and fetches every file; true when all arrived.
    bool DownloadUpdate();
    // The endings after the instruction file: restart, or installer run and report.
    int RestartToCompleteUpdate();
    int InstallUpdate();
    // Tells the user that the installation failed, logs out and ends the run.
    int EndFailedInstallation();
    // The Logout request framed by its Begin and End lines.
    void LogoutBlock();

    IQXLProgressWindow* m_progressWindow;
    CQXLLog m_log;
    QXLanguageBase m_languageBase;
    // The parts of the run, each given those it needs before it. The configuration outlives
    // the server client, whose keep-alive threads read it until they are joined.
    CQXUrlParser m_configuration;
    CQXLApplication m_application{m_log, m_configuration};
    // The instruction file the installer will read, collected while the run goes.
    CQXLBatchGenerator m_instructions{m_log};
    CQXLServerClient m_server{m_log, m_languageBase, m_configuration, m_application,
                              m_instructions};
    CQXLProgramStarter m_starter{m_log, m_application, m_server};
    CQXLInstallerHandOff m_installer{m_log,          m_languageBase,        m_application.Files(),
                                     m_instructions, m_server.GetFetcher(), m_starter};
    CQXLUpdateDownloads m_downloads{m_log,
                                    m_languageBase,
                                    m_configuration,
                                    m_application.Info(),
                                    m_application.Files(),
                                    m_instructions,
                                    m_server.GetFrames(),
                                    m_server.GetFetcher(),
                                    m_starter};
    CQXLUpdateReport m_updateReport{m_server.GetDownloader(), m_log, m_log.GetSettingsFilePath()};
    CQXLAuthenDlg m_authenDlg;
    CQXLChangePwdDlg m_changePwdDlg;
    CQXLAceNextPasscodeDlg m_nextPasscodeDlg;
    CQXLAceNewPinDlg m_newPinDlg;
    CQXLSelectVersionDlg m_selectVersionDlg;
    int m_progressMaximum = 0;
    CQXLDownloadMonitor m_downloadMonitor;
    std::wstring m_commandLine;
    std::optional<std::vector<std::wstring>> m_arguments;
    // Where the running program's path comes from: the system, or a fixed path for a run
    // placed elsewhere.
    std::function<std::wstring()> m_programPath;
    SQXLServices m_services;
    int m_exitCode = 0;
};
