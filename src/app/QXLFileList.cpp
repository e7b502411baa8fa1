#include "app/QXLFileList.h"

#include "platform/System.h"
#include "platform/Text.h"
#include "protocol/QXLReplyReader.h"
#include "protocol/QXLReplySignature.h"

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

bool CQXLFileList::ReadFileList(const std::wstring& body) {
    const std::vector<CQXLFileRow> rows = QXLReplyReader::ReadFileRows(body, m_log);
    // A signed list vouches for each file only through its SHA-256: a row without one would
    // let any bytes of the right size and checksum through.
    if (m_urlParser.VerifiesSignatures()) {
        for (const CQXLFileRow& row : rows) {
            if (!QXLFromHex(qxplat::ToNarrow(row.FileSha256)) || row.FileSha256.size() != 64) {
                m_log.LogError(L"File list refused : no valid FileSha256 for \"%s\"", row.FileName);
                return false;
            }
        }
    }
    m_fileSet.ReadFileList(rows, m_applicationInfo.ReleaseNoteName);
    m_frames.SetOffers(QXLReadFrameOffers(body));
    return true;
}

int CQXLFileList::SetTempDirectory() {
    const std::wstring subDirectory = std::wstring(L"_QXLTmp") + qxplat::kPathSeparator;
    return m_fetcher.CreateDownloadDirectory(m_fileSet.InstallationDirectory(), subDirectory) ? 1
                                                                                              : 0;
}

int CQXLFileList::WriteInstallerFiles() {
    int result = m_batchGenerator.WriteBatchFile();
    if (result != 0 && m_fileSet.RebootNeeded() != 0)
        result = m_batchGenerator.RegisterRunOnce();
    return result;
}
