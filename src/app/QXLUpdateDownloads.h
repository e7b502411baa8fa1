#pragma once

#include <string>

#include "app/QXLProgramStarter.h"
#include "base/QXLanguage.h"
#include "config/QXUrlParser.h"
#include "log/QXLLog.h"
#include "protocol/QXLApplicationInfo.h"
#include "ui/QXLProgressWindow.h"
#include "update/QXLBatchGenerator.h"
#include "update/QXLDownloadMonitor.h"
#include "update/QXLFileFetcher.h"
#include "update/QXLFileSet.h"
#include "update/QXLFrameFetch.h"

// The downloads of an update: every file of the update list fetched into the temp directory,
// and what the installer must do with each recorded in the instruction file.
class CQXLUpdateDownloads {
public:
    // All outlive this object: configuration says how many files come at once, frames and
    // fetcher bring them, instructions collects the installer's entries, starter expands the
    // placeholders of update-mode parameters.
    CQXLUpdateDownloads(CQXLLog& log, QXLanguageBase languageBase, CQXUrlParser& configuration,
                        CQXLApplicationInfo& applicationInfo, CQXLFileSet& fileSet,
                        CQXLBatchGenerator& instructions, CQXLFrameFetch& frames,
                        CQXLFileFetcher& fetcher, const CQXLProgramStarter& starter);

    CQXLUpdateDownloads(const CQXLUpdateDownloads&) = delete;
    CQXLUpdateDownloads& operator=(const CQXLUpdateDownloads&) = delete;

    // The window whose status line names the file being fetched; null: none. Not owned.
    void SetProgressWindow(IQXLProgressWindow* window) { m_progressWindow = window; }

    // Fetches every file of the update list (three attempts each, several side by side) and
    // records for the installer what to do with it in list order, moving the bar through
    // monitor. 1 when all arrived.
    int DownloadAll(CQXLDownloadMonitor& monitor);

private:
    // Steps of DownloadAll: records what the installer must do with a fetched file, 1 when it
    // arrived; records a run of an update-mode file.
    int DownloadEntry(CQXLFile& file, bool arrived);
    void AddUpdateEntry(const CQXLFile& file);

    CQXLLog& m_log;
    QXLanguageBase m_languageBase;
    CQXUrlParser& m_configuration;
    CQXLApplicationInfo& m_applicationInfo;
    CQXLFileSet& m_fileSet;
    CQXLBatchGenerator& m_batchGenerator;
    CQXLFrameFetch& m_frames;
    CQXLFileFetcher& m_fetcher;
    const CQXLProgramStarter& m_starter;
    IQXLProgressWindow* m_progressWindow = nullptr;
};
