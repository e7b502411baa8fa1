#include "update/QXLFileList.h"

CQXLFileList::CQXLFileList(CQXLLog& log, QXLanguageBase languageBase)
    : m_log(log), m_languageBase(languageBase), m_downloader(log, languageBase) {}
