#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/Process.h"

// The installer pipe: one message-mode exchange of at most 1024 bytes from the installer to
// the launcher. Windows: the named pipe \\.\pipe\qxinstallerpipe. Linux: a SOCK_SEQPACKET
// UNIX socket "qxinstallerpipe" in the folder qxlauncher of the user's runtime directory, or
// .qxlauncher in the home folder without one (mode 0700, this user's own).
namespace qxplat {

constexpr std::size_t kInstallerMessageMax = 1024;

// The launcher's end. It accepts one client and only the installer it started.
class InstallerPipeServer {
public:
    struct Handle;
    explicit InstallerPipeServer(std::unique_ptr<Handle> handle);
    InstallerPipeServer(InstallerPipeServer&&) noexcept;
    InstallerPipeServer& operator=(InstallerPipeServer&&) noexcept;
    ~InstallerPipeServer(); // disconnects and closes

    // Creates the pipe as its only instance; nullopt, with LastError() set, when the name is
    // taken (by another process that created it first, say: IsBusy) or cannot be made.
    static std::optional<InstallerPipeServer> Create();
    // True when error, as Create left it, means that another server holds the name (another
    // launcher waiting for its installer): the name may come free.
    static bool IsBusy(long error);

    enum class Wait { Connected, TimedOut, Exited, Refused, Failed };
    // Waits up to timeout for installer to connect. Ends early when installer has exited
    // (Exited), and refuses a client whose process is not installer (Refused); after that
    // the caller may wait again for the installer.
    Wait WaitForClient(const Process& installer, std::chrono::milliseconds timeout);

    // Reads the client's one message (at most kInstallerMessageMax bytes; a longer one comes
    // cut). Waits without a time limit, but ends when the installer has ended; a verdict it
    // wrote before ending is still read. False when the read failed, or the installer ended
    // without writing or wrote an empty message.
    bool ReadMessage(const Process& installer, std::string& message);

    // For tests only: the process id of the last client seen.
    unsigned long LastClientId() const;

private:
    std::unique_ptr<Handle> m_handle;
};

// Why the last Create or Connect of this thread failed, when the error code cannot say it (the
// folder of the pipe is not this user's own, say); empty otherwise.
std::wstring InstallerPipeProblem();

// The installer's end. It connects as soon as it starts, so that the launcher knows it is at
// work however long the installation takes, and sends its one verdict at the end.
class InstallerPipeClient {
public:
    struct Handle;
    explicit InstallerPipeClient(std::unique_ptr<Handle> handle);
    InstallerPipeClient(InstallerPipeClient&&) noexcept;
    InstallerPipeClient& operator=(InstallerPipeClient&&) noexcept;
    ~InstallerPipeClient(); // closes: a launcher still reading learns there is no verdict

    // Connects to the launcher's end; nullopt when there is none within timeout.
    static std::optional<InstallerPipeClient> Connect(std::chrono::milliseconds timeout);
    // Writes the message (cut to kInstallerMessageMax bytes). False when the write failed.
    bool Send(const std::string& message);

private:
    std::unique_ptr<Handle> m_handle;
};

// Connects, writes one message, closes. False when there is no launcher to connect to within
// timeout or the write failed.
inline bool SendInstallerVerdict(const std::string& message, std::chrono::milliseconds timeout) {
    auto client = InstallerPipeClient::Connect(timeout);
    return client && client->Send(message);
}

} // namespace qxplat
