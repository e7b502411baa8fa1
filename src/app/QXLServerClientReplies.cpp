#include "app/QXLServerClient.h"
#include "platform/Text.h"
#include "protocol/QXLReplyReader.h"
#include "protocol/QXLReplySignature.h"
#include "update/QXLLastPrimary.h"

bool CQXLServerClient::GetApplicationInfo() {
    if (!m_downloader.GetAppInf())
        return false;
    ReadApplicationInfo(m_downloader.GetResponseBody());
    if (m_urlParser.ForceReboot()) {
        m_application.Info().ForceReboot = 1;
        m_log.LogWarning(L"\"ForceReboot = TRUE\" find in qxurl.net, ForceReboot forced to TRUE");
    }
    if (m_urlParser.ForceUpdate()) {
        m_application.Info().ForceUpdate = 1;
        m_log.LogWarning(L"\"ForceUpdate = TRUE\" find in qxurl.net, ForceUpdate forced to TRUE");
    }
    if (m_downloader.GetApplicationName().empty())
        m_downloader.SetApplicationName(m_application.Info().ApplicationName);
    return true;
}

bool CQXLServerClient::GetVersionList() {
    if (!m_downloader.GetAppVersionList())
        return false;
    ReadVersionList(m_downloader.GetResponseBody());
    return true;
}

bool CQXLServerClient::GetPrimaryApplication() {
    m_downloader.SetVersionName(m_application.Info().Version);
    if (!m_downloader.GetAppPrimary())
        return false;
    ReadPrimaryApplication(m_downloader.GetResponseBody());
    if (m_urlParser.VerifiesSignatures()) {
        m_primaryVerified = true;
        CQXLLastPrimary(m_application.InstallationDirectory()).Remember(m_application.Primary());
    }
    return true;
}

bool CQXLServerClient::GetFileList() {
    if (!m_downloader.GetAppChecksum())
        return false;
    return ReadFileList(m_downloader.GetResponseBody());
}

bool CQXLServerClient::ReadApplicationInfo(const std::wstring& body) {
    const bool complete = QXLReplyReader::ReadApplicationInfo(body, m_application.Info(), m_log);
    m_batchGenerator.AddApplicationLabel(m_application.Info().ApplicationLabel);
    return complete;
}

void CQXLServerClient::ReadVersionList(const std::wstring& body) {
    QXLReplyReader::ReadVersionList(body, m_application.VersionList(), m_log);
}

bool CQXLServerClient::ReadPrimaryApplication(const std::wstring& body) {
    return QXLReplyReader::ReadPrimaryApplication(body, m_application.Primary(), m_log);
}

bool CQXLServerClient::ReadFileList(const std::wstring& body) {
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
    m_application.Files().ReadFileList(rows, m_application.Info().ReleaseNoteName);
    m_frames.SetOffers(QXLReadFrameOffers(body));
    return true;
}
