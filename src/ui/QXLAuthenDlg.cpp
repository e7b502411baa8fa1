#include "ui/QXLAuthenDlg.h"

CQXLAuthenDlg::CQXLAuthenDlg(QXLanguageBase languageBase) : m_languageBase(languageBase) {}
