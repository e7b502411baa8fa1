#pragma once

#include <chrono>
#include <string>

#include "log/QXLLog.h"
#include "protocol/QXLDownloader.h"
#include "update/QXLFileFetcher.h"

// How one update ends, told to the server: AppUpdateDone when it succeeded and, only to a
// server that announced it takes them (UpdateReports in GetAppInf), the seconds it took and
// AppUpdateFailed with the stage it failed at. A report that cannot be sent is logged and
// changes nothing else. Used by the update sequence's thread only.
class CQXLUpdateReport {
public:
    // No restart stage: the session is closed before the restart is asked for, so its failure
    // cannot be reported.
    enum class Stage { Download, Verify, Signature, Install };

    // downloader and log outlive this object; settingsFile keeps the version last installed.
    CQXLUpdateReport(CQXLDownloader& downloader, CQXLLog& log, std::wstring settingsFile);

    // The update to toVersion begins now; serverTakesReports: the server's announcement.
    void Begin(bool serverTakesReports, const std::wstring& toVersion);
    // AppUpdateDone; when announced, with the duration, and toVersion is then recorded as the
    // version installed, which later failure reports name as the one they came from.
    void Done();
    // AppUpdateFailed at stage with reason (an error line, cut short) when announced; nothing
    // otherwise.
    void Failed(Stage stage, const std::wstring& reason);
    // Failed for the file fetcher could not fetch: verify for bytes unlike the list's,
    // signature for a file no signed list vouched for, download otherwise.
    void FetchFailed(const CQXLFileFetcher& fetcher);

private:
    long long Seconds() const;
    // Logs the report's line when the request was answered, an error line otherwise.
    void LogSent(bool sent, const std::wstring& what);

    CQXLDownloader& m_downloader;
    CQXLLog& m_log;
    std::wstring m_settingsFile;
    bool m_serverTakesReports = false;
    std::wstring m_toVersion;
    std::chrono::steady_clock::time_point m_began;
};
