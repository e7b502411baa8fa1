#pragma once

#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/TestLog.h"
#include "ui/QXLScriptedUserInterface.h"
#include "update/QXLFileList.h"

// Where the fixtures' peers listen: the two qxserver instances (plain with test faults, TLS
// with a self-signed certificate), a port where nothing listens, the echoing HTTP peer and
// squid with its credentials.
struct ServiceSite {
    std::wstring server; // "http://127.0.0.1:port/"
    std::wstring tlsServer;
    std::wstring refused; // "http://127.0.0.1:port/"
    std::wstring peer;    // "http://127.0.0.1:port"
    std::wstring proxy;   // "http://127.0.0.1:port"
    std::wstring proxyUser;
    std::wstring proxyPassword;
};

// Read from the files the fixtures write below the working directory; a test failure when
// they are missing.
ServiceSite LoadServiceSite();

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

// Asks the plain qxserver for a fault at the next request of a service ("service=GetAppInf&
// status=500"). True when the server took it.
bool InjectFault(const std::wstring& server, const std::string& instruction);

// The log's error lines, one per entry, without the record header.
std::vector<std::string> ErrorLines(const TestLog& log);
