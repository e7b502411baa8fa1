#pragma once

#include <chrono>
#include <deque>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/QXLProcess.h"
#include "support/TempDir.h"
#include "ui/QXLScriptedUserInterface.h"

// Pauses that only record what was asked (and yield a moment, so that polling never spins).
class RecordingClock : public IQXLClock {
public:
    void Sleep(std::chrono::milliseconds duration) override;
    std::vector<long long> Pauses() const;

private:
    mutable std::mutex m_lock;
    std::vector<long long> m_pauses;
};

// The primary application's window as the scenario says: queued answers first, then the
// default answer.
class ScriptedWindows : public IQXLWindowFinder {
public:
    void Queue(std::initializer_list<bool> answers);
    void SetDefault(bool exists) { m_default = exists; }
    int Lookups() const { return m_lookups; }

    bool WindowOfClassExists(const std::wstring& className) override;

private:
    std::deque<bool> m_answers;
    bool m_default = true;
    int m_lookups = 0;
};

// A launcher installation in a fresh folder, with every log level on and a stand-in program
// as qxflux.exe that records its arguments, run in-process with a scenario user, recorded
// pauses and scripted windows.
class LaunchScenario {
public:
    // qxurl is the whole qxurl.net.
    explicit LaunchScenario(const std::string& qxurl);
    ~LaunchScenario();

    // A qxurl.net naming url as the request server (none when empty), application (none when
    // empty) and the [QXLauncher] and [Config] lines given.
    static std::string Config(const std::wstring& url, const std::string& application,
                              const std::string& launcherLines = "",
                              const std::string& configLines = "");

    // Runs the main sequence with commandLine, waits until the program it started (if any)
    // has ended, and returns the exit code.
    int Run(const std::wstring& commandLine);

    CQXLProcess& Process() { return *m_process; }
    CQXLScriptedUserInterface& Ui() { return m_ui; }
    // The user's answers: OK with edits typed into a credential dialog, or its Cancel.
    void TypeAndConfirm(int templateId, const QXLEditTexts& edits);
    void Cancel(int templateId);
    ScriptedWindows& Windows() { return m_windows; }
    RecordingClock& Clock() { return m_clock; }
    const std::filesystem::path& Folder() const { return m_dir.Path(); }

    std::string Log() const;
    bool LogHas(const std::string& text) const { return Log().find(text) != std::string::npos; }
    // How often text occurs in the log.
    int LogCount(const std::string& text) const;
    // The argument lists of the stand-in's starts, in order.
    std::vector<std::vector<std::string>> Starts() const;

    // What the progress window showed: the positions, the status texts, and the other events
    // ("range 0-1000", "show", "hide", "close"), each in order.
    std::vector<int> Positions() const;
    std::vector<std::string> StatusTexts() const;
    std::vector<std::string> WindowEvents() const;
    // The templates of the dialogs shown, in order.
    std::vector<int> DialogTemplates() const;

private:
    TempDir m_dir;
    CQXLScriptedUserInterface m_ui;
    RecordingClock m_clock;
    ScriptedWindows m_windows;
    std::unique_ptr<CQXLProcess> m_process;
};

class QxServer;

// The fixture site's applications of the sequence tests (written again by every test, as the
// server reads them at each request):
// - SeqStay: versions 1.0 (given) and 2.0 (may be chosen), no update allowed, qxflux.exe with
//   "-CS $SESSIONID$ $USERNAME$" and, for 2.0, "-v2";
// - SeqLater: version 1.0 without files, updated on exit.
void PrepareApplications(const QxServer& server);

// Whether the server's access log, from line from on, holds exactly expected requests of
// service (for user, when given; every request for an empty service). The server writes a line
// after its reply has gone, on the thread of that request's connection, so the line of a
// request the launcher already has its answer for may still be on its way: the check waits for
// expected lines (half a minute at most) and then counts behind a request of its own.
testing::AssertionResult Served(const QxServer& server, std::size_t from,
                                const std::string& service, std::size_t expected,
                                const std::string& user = "");

// The text of string table entry id in English, as the 8-bit text the tests compare.
std::string EnglishText(unsigned id);
// text as the platform's 8-bit text.
std::string Narrow(const std::wstring& text);
