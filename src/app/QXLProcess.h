#pragma once

#include <functional>
#include <string>

#include "config/QXLLog.h"
#include "ui/QXLAuthenDlg.h"
#include "ui/QXLanguage.h"
#include "update/QXLFileList.h"

class IQXLProgressWindow;

// The launcher context: everything one run owns, and the main sequence that the worker thread
// runs from the first log line to the finish step. Built on the main thread, used by the
// worker thread only.
class CQXLProcess {
public:
    // progressWindow may be null for a run without windows; the context does not own it.
    // commandLine holds the arguments without the program path. The log and the installation
    // live beside the running program.
    CQXLProcess(IQXLProgressWindow* progressWindow, QXLanguageBase languageBase,
                const std::wstring& commandLine);
    // The same run placed elsewhere: the log beside logDirectory (no trailing separator), and
    // programPath standing for the running program's path (empty: the path is unknown).
    CQXLProcess(IQXLProgressWindow* progressWindow, QXLanguageBase languageBase,
                const std::wstring& commandLine, const std::wstring& logDirectory,
                const std::wstring& programPath);
    virtual ~CQXLProcess() = default;

    CQXLProcess(const CQXLProcess&) = delete;
    CQXLProcess& operator=(const CQXLProcess&) = delete;

    // The main sequence. Returns 1 when it handed over to the update sequence, otherwise the
    // finish step's result (0).
    int RunSequence();

    // Stores what the command line hands over: the session ("-SID:id,user"), the proxy
    // credentials and the server credentials. True when a well-formed session was found, so
    // that no login is needed.
    bool ParseCommandLine();

    int GetExitCode() const { return m_exitCode; }
    CQXLLog& GetLog() { return m_log; }
    CQXLFileList& GetFileList() { return m_fileList; }
    CQXLAuthenDlg& GetAuthenDlg() { return m_authenDlg; }

private:
    enum class Option { None, ProxyLogin, ProxyPassword, ServerLogin, ServerPassword };

    void WriteBanner();
    void DumpConfigurationFile(const std::wstring& fileName, bool missingIsError);
    bool TakeInstallationDirectory();
    bool TakeSession(const std::wstring& argument);
    void StoreOptionValue(Option option, const std::wstring& value);

    IQXLProgressWindow* m_progressWindow;
    CQXLLog m_log;
    CQXLFileList m_fileList;
    CQXLAuthenDlg m_authenDlg;
    QXLanguageBase m_languageBase;
    std::wstring m_commandLine;
    // Where the running program's path comes from: the system, or a fixed path for a run
    // placed elsewhere.
    std::function<std::wstring()> m_programPath;
    int m_exitCode = 0;
};
