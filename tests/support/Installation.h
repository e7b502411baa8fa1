#pragma once

#include <string>
#include <vector>

#include "app/QXLApplication.h"
#include "app/QXLInstallerHandOff.h"
#include "app/QXLProgramStarter.h"
#include "app/QXLReleaseNote.h"
#include "app/QXLServerClient.h"
#include "app/QXLUpdateDownloads.h"
#include "support/TempDir.h"
#include "support/TestLog.h"
#include "ui/QXLScriptedUserInterface.h"

// A launcher installation in a fresh folder: qxurl.net naming urls as request servers,
// followed by extraLines, and the parts of a run wired as the run object wires them, with
// its log and a scripted user interface.
class Installation {
public:
    Installation(const std::vector<std::wstring>& urls, const std::string& extraLines = "",
                 QXLanguageBase base = kQXEnglishBase);

    CQXUrlParser& Configuration() { return m_configuration; }
    CQXLApplication& Application() { return m_application; }
    CQXLBatchGenerator& Instructions() { return m_instructions; }
    CQXLServerClient& Server() { return m_server; }
    CQXLProgramStarter& Starter() { return m_starter; }
    CQXLInstallerHandOff& Installer() { return m_installer; }
    CQXLUpdateDownloads& Downloads() { return m_downloads; }
    CQXLDownloader& Client() { return m_server.GetDownloader(); }
    // The release note source as the update sequence hands it to the warning dialog.
    CQXLReleaseNote ReleaseNote() {
        return CQXLReleaseNote(m_application.Files(), m_server.GetFetcher(), m_starter);
    }
    CQXLScriptedUserInterface& Ui() { return m_ui; }
    TestLog& Log() { return m_log; }
    // The URL of the current request server.
    std::wstring CurrentServer();

private:
    TempDir m_dir;
    TestLog m_log;
    CQXLScriptedUserInterface m_ui;
    CQXUrlParser m_configuration;
    CQXLApplication m_application{m_log.Log(), m_configuration};
    CQXLBatchGenerator m_instructions{m_log.Log()};
    CQXLServerClient m_server;
    CQXLProgramStarter m_starter{m_log.Log(), m_application, m_server};
    CQXLInstallerHandOff m_installer;
    CQXLUpdateDownloads m_downloads;
};

// The log's error lines, one per entry, without the record header.
std::vector<std::string> ErrorLines(const TestLog& log);
