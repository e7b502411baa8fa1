#include "app/QXLUpdateReport.h"

#include "base/QXLanguage.h"
#include "platform/Profile.h"

namespace {

constexpr const wchar_t* kSection = L"Update";
constexpr const wchar_t* kInstalledKey = L"InstalledVersion";
// The server keeps a short reason; a longer line only costs the wire.
constexpr std::size_t kReasonLength = 200;

const wchar_t* StageName(CQXLUpdateReport::Stage stage) {
    switch (stage) {
    case CQXLUpdateReport::Stage::Download:
        return L"download";
    case CQXLUpdateReport::Stage::Verify:
        return L"verify";
    case CQXLUpdateReport::Stage::Signature:
        return L"signature";
    case CQXLUpdateReport::Stage::Install:
        return L"install";
    }
    return L"install";
}

// Values travel raw: "&" would split the field, and "%" or "+" would be read as escapes.
std::wstring ReasonValue(std::wstring reason) {
    if (reason.size() > kReasonLength)
        reason.resize(kReasonLength);
    for (wchar_t& c : reason)
        if (c == L'&' || c == L'%' || c == L'+' || c < L' ')
            c = L' ';
    return reason;
}

} // namespace

CQXLUpdateReport::CQXLUpdateReport(CQXLDownloader& downloader, CQXLLog& log,
                                   std::wstring settingsFile)
    : m_downloader(downloader), m_log(log), m_settingsFile(std::move(settingsFile)) {}

void CQXLUpdateReport::Begin(bool serverTakesReports, const std::wstring& toVersion) {
    m_serverTakesReports = serverTakesReports;
    m_toVersion = toVersion;
    m_began = std::chrono::steady_clock::now();
}

long long CQXLUpdateReport::Seconds() const {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() -
                                                            m_began)
        .count();
}

void CQXLUpdateReport::Done() {
    if (!m_serverTakesReports) {
        m_downloader.AppUpdateDone();
    } else {
        const std::wstring seconds = std::to_wstring(Seconds());
        CQXLFormBody body;
        body.Add(L"sessionid", m_downloader.GetSessionId())
            .Add(L"lang", QXLanguageCode(m_downloader.GetLanguage()))
            .Add(L"duration", seconds);
        LogSent(m_downloader.Request(L"AppUpdateDone", body), L"done in " + seconds + L" s");
        if (!m_toVersion.empty())
            qxplat::WriteIniString(m_settingsFile, kSection, kInstalledKey, m_toVersion);
    }
}

void CQXLUpdateReport::Failed(Stage stage, const std::wstring& reason) {
    if (!m_serverTakesReports)
        return;
    const std::wstring seconds = std::to_wstring(Seconds());
    const std::wstring from = qxplat::ReadIniString(m_settingsFile, kSection, kInstalledKey, L"");
    const std::wstring shortReason = ReasonValue(reason);
    CQXLFormBody body;
    body.Add(L"sessionid", m_downloader.GetSessionId())
        .Add(L"application", m_downloader.GetApplicationName())
        .Add(L"fromversion", from)
        .Add(L"toversion", m_toVersion)
        .Add(L"stage", StageName(stage))
        .Add(L"reason", shortReason)
        .Add(L"duration", seconds)
        .Add(L"lang", QXLanguageCode(m_downloader.GetLanguage()));
    LogSent(m_downloader.Request(L"AppUpdateFailed", body), std::wstring(L"failed at ") +
                                                                StageName(stage) + L" after " +
                                                                seconds + L" s : " + shortReason);
}

void CQXLUpdateReport::FetchFailed(const CQXLFileFetcher& fetcher) {
    switch (fetcher.LastFailure()) {
    case CQXLFileFetcher::Failure::Mismatch:
        return Failed(Stage::Verify, fetcher.LastFailureText());
    case CQXLFileFetcher::Failure::Unsigned:
        return Failed(Stage::Signature, fetcher.LastFailureText());
    case CQXLFileFetcher::Failure::Transfer:
        break;
    }
    Failed(Stage::Download, fetcher.LastFailureText());
}

void CQXLUpdateReport::LogSent(bool sent, const std::wstring& what) {
    if (sent)
        m_log.LogProduction(L"Update report sent : %s", what);
    else
        m_log.LogError(L"Update report not sent : %s", what);
}
