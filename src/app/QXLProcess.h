#pragma once

#include <string>

#include "config/QXLLog.h"
#include "ui/QXLanguage.h"
#include "update/QXLFileList.h"

class IQXLProgressWindow;

// The launcher context: everything one run owns, and the main sequence that the worker thread
// runs from the first log line to the finish step. Built on the main thread, used by the
// worker thread only.
class CQXLProcess {
public:
    // progressWindow may be null for a run without windows; the context does not own it.
    CQXLProcess(IQXLProgressWindow* progressWindow, QXLanguageBase languageBase,
                const std::wstring& commandLine);
    virtual ~CQXLProcess() = default;

    CQXLProcess(const CQXLProcess&) = delete;
    CQXLProcess& operator=(const CQXLProcess&) = delete;

    // The main sequence. Returns 1 when it handed over to the update sequence, otherwise the
    // finish step's result (0).
    int RunSequence();

    int GetExitCode() const { return m_exitCode; }
    CQXLLog& GetLog() { return m_log; }

private:
    void WriteBanner();
    void DumpConfigurationFile(const std::wstring& fileName, bool missingIsError);

    IQXLProgressWindow* m_progressWindow;
    CQXLLog m_log;
    CQXLFileList m_fileList;
    QXLanguageBase m_languageBase;
    std::wstring m_commandLine;
    int m_exitCode = 0;
};
