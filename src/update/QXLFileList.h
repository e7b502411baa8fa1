#pragma once

#include <string>
#include <vector>

#include "config/QXLLog.h"
#include "config/QXUrlParser.h"
#include "protocol/QXLApplicationInfo.h"
#include "protocol/QXLDownloader.h"
#include "protocol/QXLPrimaryApplication.h"
#include "ui/QXLanguage.h"
#include "update/QXLBatchGenerator.h"
#include "update/QXLFileSet.h"

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
    const std::wstring& GetInstallationDirectory() const {
        return m_fileSet.InstallationDirectory();
    }

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

    // The readers of the information replies. Each takes the reply body of its service.
    // GetAppInf: fills the application information (see QXLReplyReader) and records its
    // label, "QXWIN" when empty, as the instruction file's ApplicationLabel line.
    bool ReadApplicationInfo(const std::wstring& body);
    // GetAppVersionList: appends the listed versions.
    void ReadVersionList(const std::wstring& body);
    // GetAppPrimary: the program to start and its parameters.
    bool ReadPrimaryApplication(const std::wstring& body);
    // GetAppChecksum: decides per listed file what the update needs (CQXLFileSet), against
    // the installation directory, with the application information's release note name.
    void ReadFileList(const std::wstring& body);

    // Fixes the temp directory, installation directory + "_QXLTmp", and creates it. 0, with
    // an error line, when it cannot be created and does not exist; else 1.
    int SetTempDirectory();
    const std::wstring& GetTempDirectory() const { return m_tempDirectory; }

    // See CQXLFileSet.
    int CheckLockedFiles() { return m_fileSet.CheckLockedFiles(); }
    std::size_t CountFilesToUpdate() const { return m_fileSet.CountFilesToUpdate(); }

    // Writes the instruction file and, when it was written and a reboot is needed, registers
    // the installer for the next logon. The result of the last step taken.
    int WriteInstallerFiles();

    CQXLApplicationInfo& GetApplicationInfo() { return m_applicationInfo; }
    const std::vector<std::wstring>& GetVersionList() const { return m_versionList; }
    const CQXLPrimaryApplication& GetPrimaryApplication() const { return m_primaryApplication; }
    CQXLFileSet& GetFileSet() { return m_fileSet; }
    CQXLBatchGenerator& GetBatchGenerator() { return m_batchGenerator; }

private:
    CQXLLog& m_log;
    QXLanguageBase m_languageBase;
    CQXLDownloader m_downloader;

    // --- Session and configuration ----------------------------------------------------------
    CQXUrlParser m_urlParser;
    std::wstring m_sessionUserName;
    std::wstring m_serverLogin;
    std::wstring m_serverPassword;

    // --- File set and update decision -------------------------------------------------------
    CQXLApplicationInfo m_applicationInfo;
    std::vector<std::wstring> m_versionList;
    CQXLPrimaryApplication m_primaryApplication;
    CQXLFileSet m_fileSet{m_log};
    CQXLBatchGenerator m_batchGenerator{m_log};
    std::wstring m_tempDirectory;
};
