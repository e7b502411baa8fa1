#include "QXInstallerApp.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "QXInstaller.h"
#include "base/QXCommandLine.h"
#include "base/QXText.h"
#include "platform/FileProbe.h"
#include "platform/InstallerPipe.h"
#include "platform/Process.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kConnectTimeout = 60000ms;
constexpr auto kLauncherExitWait = 3min;
constexpr auto kLauncherExitPoll = 250ms;
constexpr char kSuccessVerdict[] = "\x02"
                                   "END";

// Ends the process where a test asked for a crash: no clean-up, no destructors, no flush.
class FaultPoint {
public:
    FaultPoint() {
        const auto value = qxplat::Environment(L"QXINSTALLER_FAULT");
        if (!value || value->empty())
            return;
        const std::size_t hash = value->find(L'#');
        m_step = value->substr(0, hash);
        m_occurrence =
            hash == std::wstring::npos ? 1 : std::wcstol(value->c_str() + hash + 1, nullptr, 10);
    }
    void operator()(const wchar_t* step) {
        if (!m_step.empty() && m_step == step && ++m_seen == m_occurrence)
            std::_Exit(86);
    }

private:
    std::wstring m_step;
    long m_occurrence = 0;
    long m_seen = 0;
};

std::wstring ProgramDirectory(const std::wstring& program) {
    return program.substr(0, program.find_last_of(qxplat::kPathSeparator) + 1);
}

// The launcher beside the installer, with the installer's own extension (".exe" or none).
std::wstring LauncherPath(const std::wstring& program) {
    const std::wstring extension = QXFsName(QXFsPath(program).extension());
    return ProgramDirectory(program) + L"QXLauncher" + extension;
}

// The launcher holds its program file while it runs: once the file can be opened for
// writing, it has ended. Bounded: a launcher that never ends must not stop the update for
// ever (the installation then fails cleanly if the file is still in use).
void WaitForLauncherExit(const std::wstring& launcher, CQXLLog& log) {
    const auto deadline = std::chrono::steady_clock::now() + kLauncherExitWait;
    while (qxplat::ProbeExclusiveWrite(launcher) == qxplat::WriteProbe::Locked) {
        if (std::chrono::steady_clock::now() >= deadline) {
            log.LogWarning(L"%s is still in use; installing anyway", launcher);
            return;
        }
        std::this_thread::sleep_for(kLauncherExitPoll);
    }
}

// A session hand-over that goes back on the launcher's command line as one argument. One that
// cannot (quotes, controls, a trailing backslash) is not handed on: the launcher then asks for
// a login instead of reading a broken command line.
bool CanHandOn(const std::wstring& session) {
    for (wchar_t c : session)
        if (c == L'"' || c < 0x20 || c == 0x7F)
            return false;
    return !session.empty() && session.back() != L'\\';
}

void RestartLauncher(const std::wstring& launcher, const std::wstring& session, bool installed,
                     CQXLLog& log) {
    std::vector<std::wstring> arguments{launcher};
    std::wstring commandLine = L"\"" + launcher + L"\"";
    // After a failed self-update the session is not handed on: the launcher would find itself
    // out of date again and start another update at once, round after round.
    if (installed && CanHandOn(session)) {
        arguments.push_back(session);
        commandLine += L" " + QXJoinCommandLine({session});
    } else {
        log.LogWarning(L"Starting the launcher without the session");
    }
    if (qxplat::StartProcess(commandLine, arguments))
        log.LogProduction(L"Process %s launched", launcher);
    else
        log.LogError(L"Unable to launch %s : %d", launcher, qxplat::LastError());
}

} // namespace

int RunInstallerApp(const std::vector<std::wstring>& arguments) {
    const std::wstring program = qxplat::ModulePath();
    const std::wstring directory = ProgramDirectory(program);
    CQXLLog log(directory.substr(0, directory.size() - 1), L"QXInstaller");
    log.SetTag(L"QXInstaller");
    const std::wstring mode = arguments.empty() ? std::wstring() : arguments.front();
    log.LogProduction(L"/// Begin QXInstaller %s \\\\\\", mode);
    const bool verdict = mode == L"-QXL";
    const bool session = mode.compare(0, 5, kQXOptionSession) == 0;
    if (!mode.empty() && !verdict && !session) {
        log.LogError(L"EXIT : unknown command line");
        return 2;
    }
    // The launcher hands the session over unquoted: a user name with blanks arrives split.
    std::wstring handOver = mode;
    for (std::size_t i = 1; session && i < arguments.size(); ++i)
        handOver += L" " + arguments[i];
    if (session)
        WaitForLauncherExit(LauncherPath(program), log);

    // Connected before the work begins: the launcher waits for the connection a bounded time
    // and then for the verdict as long as this run lasts.
    std::optional<qxplat::InstallerPipeClient> launcher;
    if (verdict && !(launcher = qxplat::InstallerPipeClient::Connect(kConnectTimeout)))
        log.LogError(L"Unable to connect to the launcher : %d %s", qxplat::LastError(),
                     qxplat::InstallerPipeProblem());

    FaultPoint fault;
    CQXInstaller installer(log, [&fault](const wchar_t* step) { fault(step); });
    const std::wstring failure = installer.Install(directory);
    if (!failure.empty())
        log.LogError(L"Installation failed : %s", failure);

    if (launcher) {
        const std::string message = failure.empty() ? kSuccessVerdict : qxplat::ToNarrow(failure);
        if (!launcher->Send(message))
            log.LogError(L"Unable to send the verdict to the launcher : %d", qxplat::LastError());
    }
    if (session)
        RestartLauncher(LauncherPath(program), handOver, failure.empty(), log);
    log.LogProduction(L"\\\\\\ End QXInstaller %s ///", failure.empty() ? L"done" : L"failed");
    return failure.empty() ? 0 : 1;
}
