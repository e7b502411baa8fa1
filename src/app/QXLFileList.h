#pragma once

#include <chrono>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/QXLLoginOutcome.h"
#include "base/QXClock.h"
#include "base/QXLanguage.h"
#include "base/QXProgramCommandLine.h"
#include "config/QXUrlParser.h"
#include "log/QXLLog.h"
#include "platform/Process.h"
#include "protocol/QXLApplicationInfo.h"
#include "protocol/QXLDownloader.h"
#include "protocol/QXLPrimaryApplication.h"
#include "ui/QXLProgressWindow.h"
#include "ui/QXLUserInterface.h"
#include "update/QXLBatchGenerator.h"
#include "update/QXLDownloadMonitor.h"
#include "update/QXLFileFetcher.h"
#include "update/QXLFileSet.h"
#include "update/QXLFrameFetch.h"

namespace qxplat {
class InstallerPipeServer;
}

// The session and file-set object: the one object through which the launch sequence reaches
// the configuration, the HTTP client, the server's replies and the update operations.
// Owned by the launcher context; used by the worker thread.
class CQXLFileList {
public:
    CQXLFileList(CQXLLog& log, QXLanguageBase languageBase);
    virtual ~CQXLFileList() = default;

    CQXLFileList(const CQXLFileList&) = delete;
    CQXLFileList& operator=(const CQXLFileList&) = delete;

    CQXLDownloader& GetDownloader() { return m_downloader; }
    // Fetches the listed files over the downloader.
    CQXLFileFetcher& GetFetcher() { return m_fetcher; }

    // --- Session and configuration ----------------------------------------------------------

    // Stores the installation directory (the program's folder) with a trailing separator,
    // reads qxurl.net from it and logs it. 0 for an empty path, else 1.
    int SetInstallationDirectory(const std::wstring& path);
    const std::wstring& GetInstallationDirectory() const {
        return m_fileSet.InstallationDirectory();
    }

    // The configuration read from qxurl.net.
    CQXUrlParser& GetUrlParser() { return m_urlParser; }

    // The user of the session: handed over on the command line or logged in.
    const std::wstring& GetSessionUserName() const { return m_sessionUserName; }
    void SetSessionUserName(const std::wstring& userName) {
        m_sessionUserName = userName;
        m_downloader.SetUserName(userName);
    }

    // Server credentials handed over on the command line; the login step sends them.
    const std::wstring& GetServerLogin() const { return m_serverLogin; }
    void SetServerLogin(const std::wstring& login) { m_serverLogin = login; }
    const std::wstring& GetServerPassword() const { return m_serverPassword; }
    void SetServerPassword(const std::wstring& password) { m_serverPassword = password; }

    // --- Requests and services --------------------------------------------------------------

    // Where message boxes and the questions of requests go; null shows no box. Not owned.
    void SetUserInterface(IQXLUserInterface* userInterface);

    // Logs user in (previousPasscode: the RSA ACE passcode a new PIN or passcode replaces) and
    // keeps the user name. Logged in, or the refusal ShowServerError read from the reply;
    // NotSent without a request when a value cannot travel unaltered (CredentialsFitTheWire).
    SQXLLoginOutcome LoginStep(const std::wstring& user, const std::wstring& password,
                               const std::optional<std::wstring>& previousPasscode);
    // Changes the password. Logged in when done and the server opened a new session, else (a
    // refusal, no answer, or the same session id again) the refusal ShowServerError read from
    // the reply; NotSent without a request as for LoginStep.
    SQXLLoginOutcome ChangePasswordStep(const std::wstring& user, const std::wstring& oldPassword,
                                        const std::wstring& newPassword);
    // Reads a refusal reply ("Code=" and "Description=" lines) and tells the user: the
    // description (cut after 1,000 characters with "...") with " (1)", or the unknown-error
    // text with " (2)" when there is no code or it is out of an int's range (then nullopt).
    // -1207 (password expired) shows nothing. Returns the code.
    std::optional<int> ShowServerError(const std::wstring& body);

    // The information services, each read into its record when the request succeeded. Each
    // returns the request's result. GetApplicationInfo then applies the configuration's
    // ForceReboot and ForceUpdate and, when no application name was configured, takes the
    // reply's. GetPrimaryApplication first gives the HTTP client the information's Version,
    // which the later services send.
    bool GetApplicationInfo();
    bool GetVersionList();
    bool GetPrimaryApplication();
    bool GetFileList();

    // --- File set and update decision -------------------------------------------------------

    // The readers of the information replies. Each takes the reply body of its service.
    // GetAppInf: fills the application information (see QXLReplyReader) and records its
    // label, "QXWIN" when empty, as the instruction file's ApplicationLabel line.
    bool ReadApplicationInfo(const std::wstring& body);
    // GetAppVersionList: appends the listed versions.
    void ReadVersionList(const std::wstring& body);
    // GetAppPrimary: the program to start and its parameters.
    bool ReadPrimaryApplication(const std::wstring& body);
    // GetAppChecksum: decides per listed file what the update needs (CQXLFileSet), against
    // the installation directory, with the application information's release note name. With
    // public keys configured, false (and nothing listed) when a row lacks a valid FileSha256.
    bool ReadFileList(const std::wstring& body);

    // Gives the downloader the installation directory and the temp directory, installation
    // directory + "_QXLTmp", as its download directory, and creates it. 0, with an error line,
    // when it cannot be created and does not exist; else 1.
    int SetTempDirectory();
    const std::wstring& GetTempDirectory() const { return m_fetcher.GetDownloadDirectory(); }

    // See CQXLFileSet.
    int CheckLockedFiles() { return m_fileSet.CheckLockedFiles(); }
    std::size_t CountFilesToUpdate() const { return m_fileSet.CountFilesToUpdate(); }

    // Writes the instruction file and, when it was written and a reboot is needed, registers
    // the installer for the next logon. The result of the last step taken.
    int WriteInstallerFiles();

    // --- Programs -----------------------------------------------------------------------------

    // The pause after a start before the still-running check; null: the real one. Not owned.
    void SetClock(IQXLClock* clock) { m_clock = clock; }

    // Starts program (relative to the installation directory unless it holds a drive, or on
    // Linux begins with '/') with arguments (none, or "--": nothing added), placeholders
    // expanded so that no value adds an argument or a command (QXExpandProgramCommandLine;
    // a value that could is refused and nothing starts), logs it (the whole line as a debug
    // record, passwords masked), waits a second and logs whether it still runs. 1 when it was
    // created, else 0 with an error line. The process is kept as LastStarted(); the line is
    // read by the Windows runtime's rules on every platform.
    int LaunchProcess(const std::wstring& program, const std::optional<std::wstring>& arguments);
    const std::optional<qxplat::Process>& LastStarted() const { return m_lastStarted; }
    // Replaces $SESSIONID$, $USERNAME$, $APPLICATIONNAME$ and $VERSION$, in this order.
    void ExpandPlaceholders(std::wstring& text) const;
    // The server-named primary application, or the default one; the start's result.
    int StartPrimaryApplication(const std::wstring& extra);
    // qxflux.exe with the session, the credentials, the parameters, extra and the desk-bar
    // argument.
    int StartDefaultPrimary(const std::wstring& extra);
    // Without a verified primary in this run, after a reply refused for its signature: the
    // primary of the last verified reply, when one was kept.
    void RecallLastPrimary();
    // 1 when the primary name is set and is not qxflux.exe.
    int HasCustomPrimary() const;
    // Starts the launch list's programs; 0 when the list is empty, else 1.
    int StartLaunchList();
    // Opens a file of the temp directory (or one with a drive) with its associated program.
    void OpenDocument(const std::wstring& name);

    // --- Update -------------------------------------------------------------------------------

    // The window whose status line and bar the update steps move; null: none. Not owned.
    void SetProgressWindow(IQXLProgressWindow* window) { m_progressWindow = window; }

    // Fetches every file of the update list (three attempts each) and records for the
    // installer what to do with it, moving the bar through monitor. 1 when all arrived.
    int DownloadAll(CQXLDownloadMonitor& monitor);

    // Starts the installer: "-SID:" for a self-update (selfUpdate becomes 1, result of the
    // start), otherwise "-QXL" and its verdict on the installer pipe. 1 on success.
    int RunInstaller(int& selfUpdate);
    // For tests only: how long the installer may take to connect to the pipe, and how long
    // another update may hold the pipe before this one gives up.
    void SetInstallerConnectTimeoutForTests(std::chrono::milliseconds timeout) {
        m_installerConnectTimeout = timeout;
    }
    void SetInstallerPipeWaitForTests(std::chrono::milliseconds wait) {
        m_installerPipeWait = wait;
    }

    CQXLApplicationInfo& ApplicationInfo() { return m_applicationInfo; }
    const std::vector<std::wstring>& VersionList() const { return m_versionList; }
    const CQXLPrimaryApplication& PrimaryApplication() const { return m_primaryApplication; }
    CQXLFileSet& GetFileSet() { return m_fileSet; }
    CQXLBatchGenerator& GetBatchGenerator() { return m_batchGenerator; }

private:
    // The placeholders of started programs' command lines, in the order of their expansion.
    std::vector<QXPlaceholder> Placeholders() const;
    // True when every value travels unaltered in the wire code page of the user's language;
    // otherwise an error line and a refusal box tell why nothing is sent.
    bool CredentialsFitTheWire(std::initializer_list<std::wstring_view> values);
    // Steps of DownloadAll: records what the installer must do with a fetched file, 1 when it
    // arrived; records a run of an update-mode file.
    int DownloadEntry(CQXLFile& file, bool arrived);
    void AddUpdateEntry(const CQXLFile& file);
    // Steps of RunInstaller: creates the pipe, waiting while another update holds it;
    // waits for the started installer's verdict on pipe.
    std::optional<qxplat::InstallerPipeServer> CreateInstallerPipe();
    int ReadInstallerVerdict(qxplat::InstallerPipeServer& pipe);

    CQXLLog& m_log;
    QXLanguageBase m_languageBase;
    // Before the downloader: its keep-alive threads read the configuration until they are
    // joined, which destroying the downloader does.
    CQXUrlParser m_urlParser;
    CQXLDownloader m_downloader;
    CQXLFileFetcher m_fetcher{m_downloader};

    // --- Session and configuration ----------------------------------------------------------
    std::wstring m_sessionUserName;
    std::wstring m_serverLogin;
    std::wstring m_serverPassword;
    IQXLUserInterface* m_userInterface = nullptr;

    // --- File set and update decision -------------------------------------------------------
    CQXLApplicationInfo m_applicationInfo;
    std::vector<std::wstring> m_versionList;
    CQXLPrimaryApplication m_primaryApplication;
    // This run's primary came in a verified reply.
    bool m_primaryVerified = false;
    CQXLFileSet m_fileSet{m_log};
    CQXLBatchGenerator m_batchGenerator{m_log};
    // Patches and packed copies that the file list offers instead of whole files.
    CQXLFrameFetch m_frames{m_log, m_fetcher, m_downloader};

    // --- Programs and update ------------------------------------------------------------------
    IQXLClock* m_clock = nullptr;
    std::optional<qxplat::Process> m_lastStarted;
    IQXLProgressWindow* m_progressWindow = nullptr;
    std::chrono::milliseconds m_installerConnectTimeout{60000};
    std::chrono::milliseconds m_installerPipeWait{std::chrono::minutes(10)};
};
