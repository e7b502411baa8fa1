#pragma once

#include "config/QXLLog.h"
#include "protocol/QXLDownloader.h"
#include "ui/QXLanguage.h"

// The session and file-set object: the one object through which the launch sequence reaches
// the configuration, the HTTP client, the server's replies and the update operations.
// Owned by the launcher context; used by the worker thread.
class CQXLFileList {
public:
    CQXLFileList(CQXLLog& log, QXLanguageBase languageBase);
    virtual ~CQXLFileList() = default;

    CQXLFileList(const CQXLFileList&) = delete;
    CQXLFileList& operator=(const CQXLFileList&) = delete;

    CQXLDownloader& GetDownloader() { return m_downloader; }

    // --- Session and configuration ----------------------------------------------------------

    // --- File set and update decision -------------------------------------------------------

private:
    CQXLLog& m_log;
    QXLanguageBase m_languageBase;
    CQXLDownloader m_downloader;

    // --- Session and configuration ----------------------------------------------------------

    // --- File set and update decision -------------------------------------------------------
};
