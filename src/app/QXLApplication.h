#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "config/QXUrlParser.h"
#include "log/QXLLog.h"
#include "protocol/QXLApplicationInfo.h"
#include "protocol/QXLPrimaryApplication.h"
#include "update/QXLFileSet.h"

// The user's application as this run knows it: where it is installed, what the server said
// of it (information, versions, primary program) and its file set with the update decision.
class CQXLApplication {
public:
    // Both outlive this object; configuration is read from the installation directory.
    CQXLApplication(CQXLLog& log, CQXUrlParser& configuration);

    CQXLApplication(const CQXLApplication&) = delete;
    CQXLApplication& operator=(const CQXLApplication&) = delete;

    // Stores the installation directory (the program's folder) with a trailing separator,
    // reads qxurl.net from it and logs it. 0 for an empty path, else 1.
    int SetInstallationDirectory(const std::wstring& path);
    const std::wstring& InstallationDirectory() const { return m_fileSet.InstallationDirectory(); }

    CQXLApplicationInfo& Info() { return m_applicationInfo; }
    std::vector<std::wstring>& VersionList() { return m_versionList; }
    CQXLPrimaryApplication& Primary() { return m_primaryApplication; }
    CQXLFileSet& Files() { return m_fileSet; }

    // The update decision (see CQXLFileSet).
    std::size_t CountFilesToUpdate() const { return m_fileSet.CountFilesToUpdate(); }
    int CheckLockedFiles() { return m_fileSet.CheckLockedFiles(); }
    int RebootNeeded() const { return m_fileSet.RebootNeeded(); }
    std::int64_t TotalUpdateBytes() const { return m_fileSet.TotalUpdateBytes(); }

private:
    CQXLLog& m_log;
    CQXUrlParser& m_configuration;
    CQXLApplicationInfo m_applicationInfo;
    std::vector<std::wstring> m_versionList;
    CQXLPrimaryApplication m_primaryApplication;
    CQXLFileSet m_fileSet{m_log};
};
