#include "protocol/QXLDownloader.h"

CQXLDownloader::CQXLDownloader(CQXLLog& log, QXLanguageBase languageBase)
    : m_log(log), m_languageBase(languageBase) {}
