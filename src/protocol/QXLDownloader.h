#pragma once

#include <string>

#include "config/QXLLog.h"
#include "ui/QXLanguage.h"

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

private:
    CQXLLog& m_log;
    QXLanguageBase m_languageBase;
    std::wstring m_sessionId;
    std::wstring m_proxyUserName;
    std::wstring m_proxyPassword;
};
