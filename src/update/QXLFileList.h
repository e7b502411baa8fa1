#pragma once

#include <string>

#include "config/QXLLog.h"
#include "config/QXUrlParser.h"
#include "protocol/QXLDownloader.h"
#include "ui/QXLanguage.h"

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

    // --- Session and configuration ----------------------------------------------------------

    // Stores the installation directory (the program's folder) with a trailing separator,
    // reads qxurl.net from it and logs it. 0 for an empty path, else 1.
    int SetInstallationDirectory(const std::wstring& path);
    const std::wstring& GetInstallationDirectory() const { return m_installationDirectory; }

    // The configuration read from qxurl.net.
    CQXUrlParser& GetUrlParser() { return m_urlParser; }

    // The user of the session: handed over on the command line or logged in.
    const std::wstring& GetSessionUserName() const { return m_sessionUserName; }
    void SetSessionUserName(const std::wstring& userName) { m_sessionUserName = userName; }

    // Server credentials handed over on the command line; the login step sends them.
    const std::wstring& GetServerLogin() const { return m_serverLogin; }
    void SetServerLogin(const std::wstring& login) { m_serverLogin = login; }
    const std::wstring& GetServerPassword() const { return m_serverPassword; }
    void SetServerPassword(const std::wstring& password) { m_serverPassword = password; }

    // --- File set and update decision -------------------------------------------------------

private:
    CQXLLog& m_log;
    QXLanguageBase m_languageBase;
    CQXLDownloader m_downloader;

    // --- Session and configuration ----------------------------------------------------------
    CQXUrlParser m_urlParser;
    std::wstring m_installationDirectory;
    std::wstring m_sessionUserName;
    std::wstring m_serverLogin;
    std::wstring m_serverPassword;

    // --- File set and update decision -------------------------------------------------------
};
