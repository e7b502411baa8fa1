#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "app/QXLApplication.h"
#include "app/QXLLoginOutcome.h"
#include "base/QXLanguage.h"
#include "config/QXUrlParser.h"
#include "log/QXLLog.h"
#include "protocol/QXLDownloader.h"
#include "ui/QXLUserInterface.h"
#include "update/QXLBatchGenerator.h"
#include "update/QXLFileFetcher.h"
#include "update/QXLFrameFetch.h"

// The run's side of the server: the HTTP client, the session values, the login and password
// steps with their refusal boxes, and the information services whose replies it reads into
// the application.
class CQXLServerClient {
public:
    // All outlive this object. The replies fill application; the application's label goes to
    // instructions.
    CQXLServerClient(CQXLLog& log, QXLanguageBase languageBase, CQXUrlParser& configuration,
                     CQXLApplication& application, CQXLBatchGenerator& instructions);

    CQXLServerClient(const CQXLServerClient&) = delete;
    CQXLServerClient& operator=(const CQXLServerClient&) = delete;

    CQXLDownloader& GetDownloader() { return m_downloader; }
    // Fetches the listed files over the downloader.
    CQXLFileFetcher& GetFetcher() { return m_fetcher; }
    // Patches and packed copies that the file list offers instead of whole files.
    CQXLFrameFetch& GetFrames() { return m_frames; }

    // --- Session ------------------------------------------------------------------------------

    // The user of the session: handed over on the command line or logged in.
    const std::wstring& GetSessionUserName() const { return m_sessionUserName; }
    void SetSessionUserName(const std::wstring& userName) {
        m_sessionUserName = userName;
        m_downloader.SetUserName(userName);
    }

    // The values the HTTP client sends with every request (see CQXLDownloader).
    const std::wstring& GetSessionId() const { return m_downloader.GetSessionId(); }
    void SetSessionId(const std::wstring& sessionId) { m_downloader.SetSessionId(sessionId); }
    const std::wstring& GetProxyUserName() const { return m_downloader.GetProxyUserName(); }
    void SetProxyUserName(const std::wstring& name) { m_downloader.SetProxyUserName(name); }
    const std::wstring& GetProxyPassword() const { return m_downloader.GetProxyPassword(); }
    void SetProxyPassword(const std::wstring& password) { m_downloader.SetProxyPassword(password); }
    void SetVersionName(const std::wstring& name) { m_downloader.SetVersionName(name); }
    // A reply of this run was refused for its signature.
    bool SignatureRefused() const { return m_downloader.SignatureRefused(); }
    // The system's error code right after the last send.
    unsigned long GetLastErrorCode() const { return m_downloader.GetLastErrorCode(); }

    // Server credentials handed over on the command line; the login step sends them.
    const std::wstring& GetServerLogin() const { return m_serverLogin; }
    void SetServerLogin(const std::wstring& login) { m_serverLogin = login; }
    const std::wstring& GetServerPassword() const { return m_serverPassword; }
    void SetServerPassword(const std::wstring& password) { m_serverPassword = password; }

    // Where message boxes and the questions of requests go; null shows no box. Not owned.
    void SetUserInterface(IQXLUserInterface* userInterface);

    // --- Login --------------------------------------------------------------------------------

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

    // --- Information services -----------------------------------------------------------------

    // The information services, each read into its record when the request succeeded. Each
    // returns the request's result. GetApplicationInfo then applies the configuration's
    // ForceReboot and ForceUpdate and, when no application name was configured, takes the
    // reply's. GetPrimaryApplication first gives the HTTP client the information's Version,
    // which the later services send.
    bool GetApplicationInfo();
    bool GetVersionList();
    bool GetPrimaryApplication();
    bool GetFileList();
    // The keep-alive of the session and its end (see CQXLDownloader).
    bool StartKeepAlive() { return m_downloader.StartKeepAlive(); }
    void StopKeepAlive() { m_downloader.StopKeepAlive(); }
    bool Logout() { return m_downloader.Logout(); }
    // This run's primary came in a verified reply.
    bool PrimaryVerified() const { return m_primaryVerified; }

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

private:
    // True when every value travels unaltered in the wire code page of the user's language;
    // otherwise an error line and a refusal box tell why nothing is sent.
    bool CredentialsFitTheWire(std::initializer_list<std::wstring_view> values);

    CQXLLog& m_log;
    QXLanguageBase m_languageBase;
    CQXUrlParser& m_urlParser;
    CQXLApplication& m_application;
    CQXLBatchGenerator& m_batchGenerator;
    // The configuration outlives the downloader: its keep-alive threads read it until they
    // are joined, which destroying the downloader does.
    CQXLDownloader m_downloader;
    CQXLFileFetcher m_fetcher{m_downloader};
    CQXLFrameFetch m_frames{m_log, m_fetcher, m_downloader};

    std::wstring m_sessionUserName;
    std::wstring m_serverLogin;
    std::wstring m_serverPassword;
    IQXLUserInterface* m_userInterface = nullptr;
    bool m_primaryVerified = false;
};
