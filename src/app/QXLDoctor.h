#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/HttpTransport.h"

class CQXUrlParser;
class CQXUrlServer;
class CQXLApplication;
class CQXLServerClient;

// The launcher's own diagnosis ("QXLauncher -check"): reads the settings beside it and says
// what is wrong and where, reaches each server (name, connection, TLS certificate, base path),
// logs in when the command line gives credentials and tells the plan of the update (files to
// fetch and delete, bytes) without installing anything. It writes nothing on disk: no log, no
// settings, no download.
class CQXLDoctor {
public:
    using Output = std::function<void(const std::wstring& line)>;
    // Reaches the servers over transport, which must outlive the doctor.
    explicit CQXLDoctor(Output output,
                        qxplat::HttpTransport& transport = qxplat::SystemHttpTransport())
        : m_output(std::move(output)), m_transport(transport) {}

    // folder is the launcher's folder; arguments its command line's (-serverLogin and
    // -serverPassword are read). 0 when all is well, 1 when any problem was found.
    int Run(const std::wstring& folder, const std::vector<std::wstring>& arguments);

private:
    void Good(const std::wstring& text) { m_output(L"ok       " + text); }
    void Note(const std::wstring& text) { m_output(L"note     " + text); }
    void Problem(const std::wstring& text);
    // The settings files; false when there is nothing more to check.
    bool CheckSettings(const std::wstring& folder, CQXUrlParser& parser);
    void CheckInstaller(const std::wstring& folder);
    void CheckServer(const CQXUrlServer& server, const CQXUrlParser& parser);
    void CheckLoginAndPlan(CQXLServerClient& server, CQXLApplication& application,
                           const std::wstring& user, const std::wstring& password);
    void TellPlan(CQXLServerClient& server, CQXLApplication& application);

    Output m_output;
    qxplat::HttpTransport& m_transport;
    int m_problems = 0;
};

// True when arguments ask for the diagnosis: "-check" in any letter case.
bool QXLIsCheckRequested(const std::vector<std::wstring>& arguments);

// Runs the diagnosis of the running program's own folder, each line to output; the exit code.
int QXLRunCheck(const std::vector<std::wstring>& arguments, const CQXLDoctor::Output& output);
