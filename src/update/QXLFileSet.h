#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "log/QXLLog.h"
#include "protocol/QXLFileRow.h"
#include "update/QXLFile.h"

// The application's file set as the server lists it, and the plan made from it: which files
// need an action (the update list, newest row first), which are to be started (the launch
// list), and the flags the update sequence follows. Worker thread only.
class CQXLFileSet {
public:
    using FileList = std::deque<std::shared_ptr<CQXLFile>>;

    explicit CQXLFileSet(CQXLLog& log) : m_log(log) {}

    // Where the application is installed; a separator is appended when missing.
    void SetInstallationDirectory(const std::wstring& directory);
    const std::wstring& InstallationDirectory() const { return m_installationDirectory; }

    // Decides, row by row in reply order, what each listed file needs (rows with unsafe names
    // are refused with an error line), keeps a copy of the release note's row, and when the
    // launcher itself is out of date cuts the update list to the launcher and the installer.
    void ReadFileList(const std::vector<CQXLFileRow>& rows, const std::wstring& releaseNoteName);

    // Sets RebootNeeded when a file on the update list (the launcher's own executable apart)
    // exists but cannot be opened for writing. 0 when the list is empty, else 1.
    int CheckLockedFiles();

    // Entries of the update list minus the current update-mode files on it.
    std::size_t CountFilesToUpdate() const { return m_updateList.size() - m_unchangedUpdateCount; }

    const FileList& UpdateList() const { return m_updateList; }
    const FileList& LaunchList() const { return m_launchList; }
    int DeleteCount() const { return m_deleteCount; }
    int UnchangedUpdateCount() const { return m_unchangedUpdateCount; }
    std::int64_t TotalUpdateBytes() const { return m_totalUpdateBytes; }
    int LauncherUpdate() const { return m_launcherUpdate; }
    int RebootNeeded() const { return m_rebootNeeded; }
    void SetRebootNeeded() { m_rebootNeeded = 1; }
    int StartBureau() const { return m_startBureau; }
    // The copy of the release note's row, under "_ReleaseNoteTmp"; null when none was listed.
    const CQXLFile* ReleaseNoteFile() const { return m_releaseNoteFile.get(); }

private:
    bool IsSafe(const CQXLFileRow& row);
    void AddRow(const CQXLFileRow& row, const std::wstring& releaseNoteName);
    void KeepOnlyLauncherFiles();

    CQXLLog& m_log;
    std::wstring m_installationDirectory;
    FileList m_updateList;
    FileList m_launchList;
    int m_deleteCount = 0;
    int m_unchangedUpdateCount = 0;
    std::int64_t m_totalUpdateBytes = 0;
    int m_launcherUpdate = 0;
    int m_rebootNeeded = 0;
    int m_startBureau = 0;
    std::unique_ptr<CQXLFile> m_releaseNoteFile;
};

// The launcher's and the installer's own files, by any letter case (with or without the
// Windows extension, so that the Linux build knows its own programs too).
bool QXLIsLauncherFile(const std::wstring& name);
bool QXLIsInstallerFile(const std::wstring& name);
