#include "update/QXLFileList.h"

#include "platform/System.h"
#include "protocol/QXLReplyReader.h"

CQXLFileList::CQXLFileList(CQXLLog& log, QXLanguageBase languageBase)
    : m_log(log), m_languageBase(languageBase), m_downloader(log, languageBase) {
    m_downloader.SetConfiguration(&m_urlParser);
}

// --- Session and configuration ----------------------------------------------------------------

int CQXLFileList::SetInstallationDirectory(const std::wstring& path) {
    if (path.empty())
        return 0;
    m_fileSet.SetInstallationDirectory(path);
    const std::wstring& directory = m_fileSet.InstallationDirectory();
    m_urlParser.SetInstallationPath(directory);
    m_log.LogDebug(L"Installation Path : %s", directory);
    return 1;
}

// --- File set and update decision -----------------------------------------------------------

bool CQXLFileList::ReadApplicationInfo(const std::wstring& body) {
    const bool complete = QXLReplyReader::ReadApplicationInfo(body, m_applicationInfo, m_log);
    m_batchGenerator.AddApplicationLabel(m_applicationInfo.ApplicationLabel);
    return complete;
}

void CQXLFileList::ReadVersionList(const std::wstring& body) {
    QXLReplyReader::ReadVersionList(body, m_versionList, m_log);
}

bool CQXLFileList::ReadPrimaryApplication(const std::wstring& body) {
    return QXLReplyReader::ReadPrimaryApplication(body, m_primaryApplication, m_log);
}

void CQXLFileList::ReadFileList(const std::wstring& body) {
    m_fileSet.ReadFileList(QXLReplyReader::ReadFileRows(body, m_log),
                           m_applicationInfo.ReleaseNoteName);
}

int CQXLFileList::SetTempDirectory() {
    const std::wstring subDirectory = std::wstring(L"_QXLTmp") + qxplat::kPathSeparator;
    return m_downloader.CreateDownloadDirectory(m_fileSet.InstallationDirectory(), subDirectory)
               ? 1
               : 0;
}

int CQXLFileList::WriteInstallerFiles() {
    int result = m_batchGenerator.WriteBatchFile();
    if (result != 0 && m_fileSet.RebootNeeded() != 0)
        result = m_batchGenerator.RegisterRunOnce();
    return result;
}
