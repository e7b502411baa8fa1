#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "base/QXLanguage.h"
#include "config/QXUrlParser.h"
#include "log/QXLLog.h"
#include "platform/Crypto.h"
#include "platform/HttpTransport.h"
#include "platform/Text.h"
#include "protocol/QXLFailureNote.h"
#include "protocol/QXLFormBody.h"
#include "protocol/QXLKeepAlive.h"
#include "protocol/QXLReplySignature.h"

// The HTTP client of the launcher: requests with failover over the server lists, the services,
// the steps of a download over the download servers, and the keep-alive. Owned by the file
// list; fetching a listed file over it is the update's CQXLFileFetcher.
class CQXLDownloader {
public:
    // Every request goes over transport, which must outlive the downloader.
    CQXLDownloader(CQXLLog& log, QXLanguageBase languageBase,
                   qxplat::HttpTransport& transport = qxplat::SystemHttpTransport());
    virtual ~CQXLDownloader() = default;

    CQXLDownloader(const CQXLDownloader&) = delete;
    CQXLDownloader& operator=(const CQXLDownloader&) = delete;

    // The server session that every request carries: handed over on the command line or
    // taken from the login reply.
    const std::wstring& GetSessionId() const { return m_sessionId; }
    void SetSessionId(const std::wstring& sessionId) { m_sessionId = sessionId; }

    // The user the session belongs to, as sent at login or handed over with the session: a
    // signed reply must be signed for this user.
    void SetUserName(const std::wstring& userName) { m_userName = userName; }

    // Credentials for an authenticating proxy; empty when none were given. The ones the user
    // types at a proxy's question replace them and go with every later request.
    const std::wstring& GetProxyUserName() const { return m_proxyUserName; }
    void SetProxyUserName(const std::wstring& userName) { m_proxyUserName = userName; }
    const std::wstring& GetProxyPassword() const { return m_proxyPassword; }
    void SetProxyPassword(const std::wstring& password) { m_proxyPassword = password; }

    // --- Shared values
    // The configuration that gives the server lists and the certificate leniency; null until
    // the owner sets it. Nothing is sent without one.
    CQXUrlParser* GetConfiguration() const { return m_configuration; }
    void SetConfiguration(CQXUrlParser* configuration) { m_configuration = configuration; }
    // The application and version that the services name.
    const std::wstring& GetApplicationName() const { return m_applicationName; }
    void SetApplicationName(const std::wstring& name) { m_applicationName = name; }
    const std::wstring& GetVersionName() const { return m_versionName; }
    void SetVersionName(const std::wstring& name) { m_versionName = name; }
    // Answers proxy and certificate questions after a send; null leaves them to the system.
    void SetPrompt(qxplat::HttpPrompt* prompt) { m_prompt = prompt; }
    // That prompt as callers side by side see it (null without one): asked by one at a time,
    // and a proxy's question that another caller's user has answered meanwhile gets that
    // answer instead of a second question.
    qxplat::HttpPrompt* SharedPrompt() { return m_prompt != nullptr ? &m_sharedPrompt : nullptr; }
    // The log every request and download writes to.
    CQXLLog& GetLog() const { return m_log; }

    // --- Requests and services --------------------------------------------------------------

    QXLanguageBase GetLanguage() const { return m_languageBase; }
    void SetLanguage(QXLanguageBase languageBase) { m_languageBase = languageBase; }

    // The text of the reply body of the last request; empty when no server answered it.
    const std::wstring& GetResponseBody() const { return m_responseBody; }
    // True once a reply of this run was refused for its signature.
    bool SignatureRefused() const { return m_signatureRefused; }
    // The system's error code right after the last send, also after a successful one.
    unsigned long GetLastErrorCode() const { return m_lastError; }

    // POSTs body to the current request server's path followed by service, failing over to the
    // next server until one answers 200 and its whole body is read (then in GetResponseBody).
    // Every failing step is logged, with the body's log text (no secrets). False when no
    // server did, without a configuration, or (with an error line, nothing sent) when a value
    // holds "&".
    bool Request(const std::wstring& service, const CQXLFormBody& body);

    // Takes the session id from the "SessionId" cookie that the process holds for the current
    // request server's URL. False, with an error line, when there is none.
    bool ExtractSessionId();

    // Steps of Request: true for status 200; true when the whole body was read into
    // GetResponseBody (converted to text once, as a whole).
    bool CheckStatusCode(qxplat::HttpRequest& request);
    // Why the last step above or the last attempt of Request failed, for its plain line.
    const CQXLFailureNote& LastFailure() const { return m_failure; }
    bool ReadResponseBody(qxplat::HttpRequest& request);

    // The services. Each returns true on success. Login and ChangePassword also need the
    // session cookie of the reply; GetAppInf first takes the configuration's application name.
    bool Login(const std::wstring& user, const std::wstring& password,
               const std::optional<std::wstring>& previousPasscode);
    bool ChangePassword(const std::wstring& user, const std::wstring& oldPassword,
                        const std::wstring& newPassword);
    bool GetAppInf();
    bool GetAppVersionList();
    bool GetAppPrimary();
    bool GetAppChecksum();
    bool AppUpdateDone();
    bool Logout();

    // --- Steps of a download
    // True when no value of body holds "&"; otherwise an error line naming the field: values
    // travel raw, so such a body would reach the server split.
    bool IsWhole(const std::wstring& service, const CQXLFormBody& body);
    // The dialog step asked for a retry (on the given line of the caller's file): logs it,
    // then keeps the proxy credentials the user gave for every later request. failed hears of
    // each one that could not be read back.
    void KeepRetryCredentials(qxplat::HttpRequest& request, const CQXUrlServer& server,
                              const CQXLFormBody& body, const std::wstring& object, int line,
                              const std::function<void(const qxplat::HttpError&)>& failed);
    // Puts the proxy credentials kept so far on request.
    void GiveProxyCredentials(qxplat::HttpRequest& request);
    // CheckStatusCode for callers side by side: the failure note it leaves goes to failure.
    bool CheckStatusCode(qxplat::HttpRequest& request, CQXLFailureNote& failure);
    // The code page of every body, reply and cookie.
    static unsigned WireCodePage() { return qxplat::WireCodePage(); }

    // The window over which every request, download and ping must bring at least 1 KiB/s;
    // slower is a time-out, failed over like one. Tests shorten it.
    void SetMinimumRateWindow(unsigned long windowMs) { m_minimumRateWindowMs = windowMs; }
    unsigned long GetMinimumRateWindow() const { return m_minimumRateWindowMs; }

    // --- Keep-alive
    // Starts a thread that sends "ExtendSession" with this session id and language to the
    // current request server now and every ten seconds until StopKeepAlive. False, with an
    // error line, when there is no request server or no thread.
    bool StartKeepAlive();
    // Asks every keep-alive thread to end and returns at once.
    void StopKeepAlive() { m_keepAlive.Stop(); }
    // For tests only: the pause between pings of threads started afterwards.
    void SetKeepAlivePeriodForTests(std::chrono::milliseconds period) {
        m_keepAlive.SetPeriodForTests(period);
    }

private:
    CQXLLog& m_log;
    QXLanguageBase m_languageBase;
    qxplat::HttpTransport& m_transport;
    std::wstring m_sessionId;
    std::wstring m_userName;
    std::wstring m_proxyUserName;
    std::wstring m_proxyPassword;

    // --- Shared values
    CQXUrlParser* m_configuration = nullptr;
    std::wstring m_applicationName;
    std::wstring m_versionName;
    qxplat::HttpPrompt* m_prompt = nullptr;
    // Callers side by side (the fetchers of an update) take turns with the proxy credentials,
    // the failure note and the prompt under this lock.
    std::mutex m_sharedLock;
    class SharedPromptTurns final : public qxplat::HttpPrompt {
    public:
        explicit SharedPromptTurns(CQXLDownloader& downloader) : m_downloader(downloader) {}
        bool AskProxyCredentials(std::wstring& userName, std::wstring& password) override;
        bool AcceptCertificate(unsigned long error,
                               const qxplat::HttpCertificate& certificate) override;

    private:
        CQXLDownloader& m_downloader;
    };
    SharedPromptTurns m_sharedPrompt{*this};

    // --- Requests and services --------------------------------------------------------------
    struct Attempt;
    bool TryServer(const CQXUrlServer& server, const std::wstring& service,
                   const CQXLFormBody& body);
    bool SendUntilAnswered(Attempt& attempt, qxplat::HttpRequest& request);
    // Stores the failed step's error as the last error and logs it; false.
    bool FailStep(const Attempt& attempt, const qxplat::HttpError& error);
    void LogStepError(const Attempt& attempt, const qxplat::HttpError& error);
    // Request for a reply that must be signed, when the configuration has keys, for the
    // application and version the body names.
    bool SignedRequest(const std::wstring& service, const CQXLFormBody& body,
                       const std::wstring& application, const std::wstring& version);
    // With a signed request pending: true when the reply's signature holds for it; otherwise
    // an error line naming why, and the body is dropped.
    bool CheckSignature(qxplat::HttpRequest& request, const CQXUrlServer& server);
    // Forgets the session cookies of every request server before a reply that opens a session.
    void ForgetSessionCookies();
    // The body every session-bound service starts with.
    CQXLFormBody SessionBody() const;
    const wchar_t* LanguageCode() const { return QXLanguageCode(m_languageBase); }

    std::wstring m_responseBody;
    unsigned long m_lastError = 0;
    // Why the last attempt failed, for its plain line.
    CQXLFailureNote m_failure;
    bool m_signatureRefused = false;
    // The request whose reply must carry a valid signature, and that reply's bytes.
    std::optional<SQXLSignedRequest> m_signedRequest;
    std::string m_responseBytes;

    unsigned long m_minimumRateWindowMs = qxplat::kHttpMinimumRateWindowMs;

    // --- Keep-alive
    // Last, so that its threads are stopped and joined before anything else goes.
    CQXLKeepAlive m_keepAlive;
};
