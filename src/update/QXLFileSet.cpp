#include "update/QXLFileSet.h"

#include "platform/FileProbe.h"
#include "platform/System.h"
#include "protocol/QXReplyValues.h"
#include "update/QXLSafeName.h"

bool QXLIsLauncherFile(const std::wstring& name) {
    return QXEqualsNoCase(name, L"QXLauncher.exe") || QXEqualsNoCase(name, L"QXLauncher");
}

bool QXLIsInstallerFile(const std::wstring& name) {
    return QXEqualsNoCase(name, L"QXInstaller.exe") || QXEqualsNoCase(name, L"QXInstaller");
}

void CQXLFileSet::SetInstallationDirectory(const std::wstring& directory) {
    m_installationDirectory = directory;
    if (m_installationDirectory.empty() || m_installationDirectory.back() != qxplat::kPathSeparator)
        m_installationDirectory.push_back(qxplat::kPathSeparator);
}

void CQXLFileSet::ReadFileList(const std::vector<CQXLFileRow>& rows,
                               const std::wstring& releaseNoteName) {
    m_deleteCount = 0;
    m_unchangedUpdateCount = 0;
    for (const CQXLFileRow& row : rows)
        if (IsSafe(row))
            AddRow(row, releaseNoteName);
    if (m_launcherUpdate != 0)
        KeepOnlyLauncherFiles();
}

// The names come from the server and end up joined to our directories: refuse any that
// could reach outside them, before anything is opened or recorded.
bool CQXLFileSet::IsSafe(const CQXLFileRow& row) {
    const wchar_t* reason = QXLUnsafeFileNameReason(row.FileName);
    if (reason == nullptr)
        reason = QXLUnsafeFilePathReason(row.FilePath);
    if (reason == nullptr)
        return true;
    m_log.LogError(L"File refused, unsafe name (%s) : \"%s\" in \"%s\"", reason, row.FileName,
                   row.FilePath);
    return false;
}

void CQXLFileSet::AddRow(const CQXLFileRow& row, const std::wstring& releaseNoteName) {
    auto file = std::make_shared<CQXLFile>(m_log);
    file->SetFile(row.FileName, row.FileChecksum, row.FileSize, row.FileMode, row.IsActiveX,
                  row.HasToBeLaunched, row.FilePath);
    file->SetSha256(row.FileSha256);
    file->SetExecutable(row.FileExecutable);

    if (QXEqualsNoCase(row.FileName, releaseNoteName)) {
        m_releaseNoteFile = std::make_unique<CQXLFile>(m_log);
        m_releaseNoteFile->SetFile(row.FileName, row.FileChecksum, row.FileSize, row.FileMode,
                                   row.IsActiveX, row.HasToBeLaunched,
                                   std::wstring(L"_ReleaseNoteTmp") + qxplat::kPathSeparator,
                                   std::wstring());
        m_releaseNoteFile->SetSha256(row.FileSha256);
    }
    if (QXEqualsNoCase(row.FileName, L"qxbureau.exe") && row.HasToBeLaunched != 0)
        m_startBureau = 1;

    const bool needed = file->NeedsAction(m_installationDirectory);
    if (needed && file->FileMode() == ModeDelete)
        ++m_deleteCount;
    if (needed && file->FileMode() == ModeUpdateUnchanged)
        ++m_unchangedUpdateCount;
    file->SetParameters(row.Parameters);

    if (file->HasToBeLaunched() != 0)
        m_launchList.push_front(file);
    if (!needed)
        return;
    m_updateList.push_front(file);
    m_totalUpdateBytes += file->FileSize();
    if (QXLIsLauncherFile(file->FileName())) {
        m_launcherUpdate = 1;
        m_log.LogInfo(L"QXLauncher need to be updated");
    }
    if (file->FileMode() == ModeInstall)
        m_rebootNeeded = 1;
}

// The launcher replaces only itself and the installer in this run; the new launcher updates
// the rest at its next start. The counters follow what stays on the list.
void CQXLFileSet::KeepOnlyLauncherFiles() {
    FileList kept;
    for (const auto& file : m_updateList) {
        if (QXLIsLauncherFile(file->FileName()) || QXLIsInstallerFile(file->FileName())) {
            kept.push_back(file);
            continue;
        }
        if (file->FileMode() == ModeDelete)
            --m_deleteCount;
        if (file->FileMode() == ModeUpdateUnchanged)
            --m_unchangedUpdateCount;
    }
    m_updateList.swap(kept);
}

int CQXLFileSet::CheckLockedFiles() {
    if (m_updateList.empty()) {
        m_log.LogWarning(L"No file to check");
        return 0;
    }
    for (const auto& file : m_updateList) {
        if (m_rebootNeeded != 0)
            break;
        // The running launcher always holds its own executable; the self-update form of the
        // installer hand-off replaces it.
        if (QXLIsLauncherFile(file->FileName()))
            continue;
        const std::wstring path = m_installationDirectory + file->RelativeName();
        if (qxplat::ProbeExclusiveWrite(path) == qxplat::WriteProbe::Locked) {
            m_log.LogInfo(L"File %s is locked, reboot is needed to complete update",
                          file->FileName());
            m_rebootNeeded = 1;
        }
    }
    return 1;
}
