#pragma once

#include "config/QXLLog.h"
#include "ui/QXLanguage.h"

// The HTTP client of the launcher: requests with failover over the server lists, the services,
// downloads and the keep-alive. Owned by the file list.
class CQXLDownloader {
public:
    CQXLDownloader(CQXLLog& log, QXLanguageBase languageBase);
    virtual ~CQXLDownloader() = default;

    CQXLDownloader(const CQXLDownloader&) = delete;
    CQXLDownloader& operator=(const CQXLDownloader&) = delete;

private:
    CQXLLog& m_log;
    QXLanguageBase m_languageBase;
};
