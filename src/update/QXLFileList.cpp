#include "update/QXLFileList.h"

#include "platform/System.h"

CQXLFileList::CQXLFileList(CQXLLog& log, QXLanguageBase languageBase)
    : m_log(log), m_languageBase(languageBase), m_downloader(log, languageBase) {}

// --- Session and configuration ----------------------------------------------------------------

int CQXLFileList::SetInstallationDirectory(const std::wstring& path) {
    if (path.empty())
        return 0;
    m_installationDirectory = path;
    if (m_installationDirectory.back() != qxplat::kPathSeparator)
        m_installationDirectory.push_back(qxplat::kPathSeparator);
    m_urlParser.SetInstallationPath(m_installationDirectory);
    m_log.LogDebug(L"Installation Path : %s", m_installationDirectory);
    return 1;
}
