#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/QXLApplication.h"
#include "app/QXLServerClient.h"
#include "base/QXClock.h"
#include "base/QXProgramCommandLine.h"
#include "log/QXLLog.h"
#include "platform/Process.h"

// Starts the programs of a run: any program with the session's placeholders, the primary
// application (the server's, the last verified one, or the default), the launch list, and
// documents of the temp directory.
class CQXLProgramStarter {
public:
    // All outlive this object: application names the programs, server the session values.
    CQXLProgramStarter(CQXLLog& log, CQXLApplication& application, CQXLServerClient& server);

    CQXLProgramStarter(const CQXLProgramStarter&) = delete;
    CQXLProgramStarter& operator=(const CQXLProgramStarter&) = delete;

    // The pause after a start before the still-running check; null: the real one. Not owned.
    void SetClock(IQXLClock* clock) { m_clock = clock; }

    // Starts program (relative to the installation directory unless it holds a drive, or on
    // Linux begins with '/') with arguments (none, or "--": nothing added), placeholders
    // expanded so that no value adds an argument or a command (QXExpandProgramCommandLine;
    // a value that could is refused and nothing starts), logs it (the whole line as a debug
    // record, passwords masked), waits a second and logs whether it still runs. 1 when it was
    // created, else 0 with an error line. The process is kept as LastStarted(); the line is
    // read by the Windows runtime's rules on every platform.
    int LaunchProcess(const std::wstring& program, const std::optional<std::wstring>& arguments);
    const std::optional<qxplat::Process>& LastStarted() const { return m_lastStarted; }
    // Replaces $SESSIONID$, $USERNAME$, $APPLICATIONNAME$ and $VERSION$, in this order.
    void ExpandPlaceholders(std::wstring& text) const;
    // The server-named primary application, or the default one; the start's result.
    int StartPrimaryApplication(const std::wstring& extra);
    // qxflux.exe with the session, the credentials, the parameters, extra and the desk-bar
    // argument.
    int StartDefaultPrimary(const std::wstring& extra);
    // Without a verified primary in this run, after a reply refused for its signature: the
    // primary of the last verified reply, when one was kept.
    void RecallLastPrimary();
    // 1 when the primary name is set and is not qxflux.exe.
    int HasCustomPrimary() const;
    // Starts the launch list's programs; 0 when the list is empty, else 1.
    int StartLaunchList();
    // Opens a file of the temp directory (or one with a drive) with its associated program.
    void OpenDocument(const std::wstring& name);

private:
    // The placeholders of started programs' command lines, in the order of their expansion.
    std::vector<QXPlaceholder> Placeholders() const;

    CQXLLog& m_log;
    CQXLApplication& m_application;
    CQXLServerClient& m_server;
    IQXLClock* m_clock = nullptr;
    std::optional<qxplat::Process> m_lastStarted;
};
