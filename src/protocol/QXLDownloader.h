#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "config/QXLLog.h"
#include "platform/HttpTransport.h"
#include "protocol/QXLKeepAlive.h"
#include "ui/QXLanguage.h"

class CQXChecksum;
class CQXLDownloadMonitor;
class CQXLFile;
class CQXUrlParser;

// The HTTP client of the launcher: requests with failover over the server lists, the services,
// downloads and the keep-alive. Owned by the file list.
class CQXLDownloader {
public:
    CQXLDownloader(CQXLLog& log, QXLanguageBase languageBase);
    virtual ~CQXLDownloader() = default;

    CQXLDownloader(const CQXLDownloader&) = delete;
    CQXLDownloader& operator=(const CQXLDownloader&) = delete;

    // The server session that every request carries: handed over on the command line or
    // taken from the login reply.
    const std::wstring& GetSessionId() const { return m_sessionId; }
    void SetSessionId(const std::wstring& sessionId) { m_sessionId = sessionId; }

    // Credentials for an authenticating proxy; empty when none were given.
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

    // --- Downloads
    // Stores installationDirectory (with its trailing separator) and makes
    // installationDirectory + subDirectory the download directory, creating it. True when it
    // exists afterwards. Serialised with other callers.
    bool CreateDownloadDirectory(const std::wstring& installationDirectory,
                                 const std::wstring& subDirectory);
    const std::wstring& GetDownloadDirectory() const { return m_downloadDirectory; }
    const std::wstring& GetInstallationDirectory() const { return m_installationDirectory; }
    // Creates each level of relativePath (separated by either slash) below base, which ends
    // with a separator. A path that would leave base is refused with an error line.
    bool CreatePathDirectories(const std::wstring& base, const std::wstring& relativePath);

    // Fetches one file of the list into the download directory (QXInstaller.exe into the
    // installation directory) over the download server list, moving monitor's bar. The copy
    // must have the list's size and checksum.
    bool GetAppFile(const CQXLFile& file, CQXLDownloadMonitor* monitor);
    // Fetches the whole file set as one archive, written as archive's name and path.
    bool GetAppZippedFiles(const CQXLFile& archive, CQXLDownloadMonitor* monitor);
    // One download over the download server list, failing over until some server delivers a
    // whole reply with status 200; withFileValue names the file in the body and checks the
    // copy against the list. An empty file is created without a request. The target is never
    // left half written: a failed attempt removes it.
    bool DownloadFile(const CQXLFile& file, CQXLDownloadMonitor* monitor,
                      const std::wstring& service, bool withFileValue);

    // For tests only: the connect and receive time-outs of downloads, in milliseconds.
    void SetDownloadTimeoutsForTests(unsigned long connectMs, unsigned long receiveMs) {
        m_downloadConnectMs = connectMs;
        m_downloadReceiveMs = receiveMs;
    }

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
    // --- Downloads
    struct Attempt;
    bool DownloadAttempt(const CQXLFile& file, CQXLDownloadMonitor* monitor, Attempt& attempt);
    bool ReceiveFile(qxplat::HttpRequest& request, const CQXLFile& file, Attempt& attempt);
    bool WriteBody(qxplat::HttpRequest& request, const CQXLFile& file, Attempt& attempt,
                   std::FILE* out, CQXChecksum& checksum, std::uint64_t& size);
    bool CreateEmptyFile(const CQXLFile& file);
    void LogAttemptError(const wchar_t* failure, const Attempt& attempt, unsigned long error,
                         int step);

    CQXLLog& m_log;
    QXLanguageBase m_languageBase;
    std::wstring m_sessionId;
    std::wstring m_proxyUserName;
    std::wstring m_proxyPassword;

    // --- Shared values
    CQXUrlParser* m_configuration = nullptr;
    std::wstring m_applicationName;
    std::wstring m_versionName;
    qxplat::HttpPrompt* m_prompt = nullptr;

    // --- Downloads
    std::mutex m_directoryLock;
    std::wstring m_downloadDirectory;
    std::wstring m_installationDirectory;
    unsigned long m_downloadConnectMs = 30000;
    unsigned long m_downloadReceiveMs = 30000;

    // --- Keep-alive
    // Last, so that its threads are stopped and joined before anything else goes.
    CQXLKeepAlive m_keepAlive;
};
