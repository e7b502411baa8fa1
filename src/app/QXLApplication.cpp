#include "app/QXLApplication.h"

CQXLApplication::CQXLApplication(CQXLLog& log, CQXUrlParser& configuration)
    : m_log(log), m_configuration(configuration) {}

int CQXLApplication::SetInstallationDirectory(const std::wstring& path) {
    if (path.empty())
        return 0;
    m_fileSet.SetInstallationDirectory(path);
    const std::wstring& directory = m_fileSet.InstallationDirectory();
    m_configuration.SetInstallationPath(directory);
    m_log.LogDebug(L"Installation Path : %s", directory);
    return 1;
}
