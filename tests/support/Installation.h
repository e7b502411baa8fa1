#pragma once

#include <string>
#include <vector>

#include "app/QXLFileList.h"
#include "support/TempDir.h"
#include "support/TestLog.h"
#include "ui/QXLScriptedUserInterface.h"

// A launcher installation in a fresh folder: qxurl.net naming urls as request servers,
// followed by extraLines, and the file list with its log and a scripted user interface.
class Installation {
public:
    Installation(const std::vector<std::wstring>& urls, const std::string& extraLines = "",
                 QXLanguageBase base = kQXEnglishBase);

    CQXLFileList& List() { return m_list; }
    CQXLDownloader& Client() { return m_list.GetDownloader(); }
    CQXLScriptedUserInterface& Ui() { return m_ui; }
    TestLog& Log() { return m_log; }
    // The URL of the current request server.
    std::wstring CurrentServer();

private:
    TempDir m_dir;
    TestLog m_log;
    CQXLScriptedUserInterface m_ui;
    CQXLFileList m_list;
};

// The log's error lines, one per entry, without the record header.
std::vector<std::string> ErrorLines(const TestLog& log);
