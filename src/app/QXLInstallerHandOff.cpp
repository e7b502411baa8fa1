#include "app/QXLInstallerHandOff.h"

#include <algorithm>
#include <chrono>

#include "base/QXClock.h"
#include "platform/InstallerPipe.h"
#include "platform/LanguageTexts.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr wchar_t kInstaller[] = L"QXInstaller.exe";
constexpr wchar_t kSelfUpdateArguments[] = L"-SID:$SESSIONID$,$USERNAME$";
constexpr wchar_t kInstallArguments[] = L"-QXL";
constexpr unsigned kTextAnotherUpdate = 58;
constexpr milliseconds kBusyPipePoll{250};

// Full success is STX followed by "END"; anything after it is the installer's own.
constexpr char kSuccessVerdict[] = "\002END";

bool IsSuccessVerdict(const std::string& message) {
    return message.compare(0, sizeof kSuccessVerdict - 1, kSuccessVerdict) == 0;
}

// The installer's text as one log line: it ends at a NUL, and a line break or other control
// character in it cannot start a record of its own.
std::wstring VerdictText(const std::string& message) {
    std::string text = message.substr(0, message.find('\0'));
    std::replace_if(
        text.begin(), text.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7f'; }, ' ');
    return qxplat::FromNarrow(text);
}

} // namespace

CQXLInstallerHandOff::CQXLInstallerHandOff(CQXLLog& log, QXLanguageBase languageBase,
                                           CQXLFileSet& fileSet, CQXLBatchGenerator& instructions,
                                           CQXLFileFetcher& fetcher, CQXLProgramStarter& starter)
    : m_log(log), m_languageBase(languageBase), m_fileSet(fileSet), m_batchGenerator(instructions),
      m_fetcher(fetcher), m_starter(starter) {}

int CQXLInstallerHandOff::SetTempDirectory() {
    const std::wstring subDirectory = std::wstring(L"_QXLTmp") + qxplat::kPathSeparator;
    return m_fetcher.CreateDownloadDirectory(m_fileSet.InstallationDirectory(), subDirectory) ? 1
                                                                                              : 0;
}

int CQXLInstallerHandOff::WriteInstallerFiles() {
    int result = m_batchGenerator.WriteBatchFile();
    if (result != 0 && m_fileSet.RebootNeeded() != 0)
        result = m_batchGenerator.RegisterRunOnce();
    return result;
}

int CQXLInstallerHandOff::RunInstaller(int& selfUpdate) {
    if (m_fileSet.LauncherUpdate() != 0) {
        // The installer replaces the launcher and gets the session to start it again.
        selfUpdate = 1;
        return m_starter.LaunchProcess(kInstaller, std::wstring(kSelfUpdateArguments));
    }
    // The pipe exists before the installer starts, so that nobody else can take its name
    // and the installer finds it at once.
    std::optional<qxplat::InstallerPipeServer> pipe = CreateInstallerPipe();
    if (!pipe) {
        m_log.LogError(L"Unable to create the installer pipe : %d %s",
                       static_cast<long long>(qxplat::LastError()), qxplat::InstallerPipeProblem());
        return 0;
    }
    if (m_starter.LaunchProcess(kInstaller, std::wstring(kInstallArguments)) == 0 ||
        !m_starter.LastStarted())
        return 0;
    return ReadInstallerVerdict(*pipe);
}

// The pipe has one name per user: another launcher that is installing holds it until its
// installer has answered. This update waits its turn, a bounded time.
std::optional<qxplat::InstallerPipeServer> CQXLInstallerHandOff::CreateInstallerPipe() {
    const Clock::time_point end = Clock::now() + m_installerPipeWait;
    bool told = false;
    for (;;) {
        auto pipe = qxplat::InstallerPipeServer::Create();
        if (pipe || !qxplat::InstallerPipeServer::IsBusy(qxplat::LastError()) ||
            Clock::now() >= end)
            return pipe;
        if (!told) {
            m_log.LogProduction(L"Another update holds the installer pipe, waiting for it");
            if (m_progressWindow != nullptr)
                m_progressWindow->SetStatusText(QXLoadText(m_languageBase, kTextAnotherUpdate));
            told = true;
        }
        QXLSystemClock().Sleep(kBusyPipePoll);
    }
}

int CQXLInstallerHandOff::ReadInstallerVerdict(qxplat::InstallerPipeServer& pipe) {
    const qxplat::Process& installer = *m_starter.LastStarted();
    // Another program that connects first is turned away; the installer keeps what is left
    // of its time.
    const Clock::time_point end = Clock::now() + m_installerConnectTimeout;
    // A flood of other programs is told in one line and a count, not a line each.
    long long refused = 0;
    qxplat::InstallerPipeServer::Wait wait;
    do {
        const auto left =
            std::max(std::chrono::duration_cast<milliseconds>(end - Clock::now()), milliseconds(0));
        wait = pipe.WaitForClient(installer, left);
        if (wait == qxplat::InstallerPipeServer::Wait::Refused && ++refused == 1)
            m_log.LogError(L"Refused a connection to the installer pipe : process %u is not %s",
                           pipe.LastClientId(), std::wstring(kInstaller));
    } while (wait == qxplat::InstallerPipeServer::Wait::Refused);
    if (refused > 1)
        m_log.LogError(L"Refused %d connections to the installer pipe in all", refused);
    if (wait != qxplat::InstallerPipeServer::Wait::Connected)
        return 0;
    std::string message;
    if (!pipe.ReadMessage(installer, message))
        return 0;
    if (IsSuccessVerdict(message))
        return 1;
    m_log.LogError(L"QXInstaller failed to install all files : %s", VerdictText(message));
    return 0;
}
