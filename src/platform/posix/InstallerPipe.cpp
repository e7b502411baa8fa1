#include "platform/InstallerPipe.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/Text.h"

namespace qxplat {

namespace {

constexpr char kSocketName[] = "qxinstallerpipe";
constexpr int kRetryPauseMs = 50;

std::string ToOctal(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%o", mode);
    return text;
}

class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    ~UniqueFd() { Reset(); }
    int Get() const { return m_fd; }
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd = -1) {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

thread_local std::wstring t_problem;

// Records why folder cannot serve, with errno for LastError(); false.
bool Refuse(const std::string& folder, const std::string& why, int error) {
    t_problem = FromNarrow(folder + " " + why);
    errno = error;
    return false;
}

// A folder only this user may enter: created 0700, or an existing one that is a real folder
// of this user with exactly that mode (anything else could let another user in).
bool PrivateFolder(const std::string& folder) {
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return Refuse(folder, "cannot be created", errno);
    struct stat info;
    if (lstat(folder.c_str(), &info) != 0)
        return Refuse(folder, "cannot be read", errno);
    if (!S_ISDIR(info.st_mode))
        return Refuse(folder, "is not a folder", EPERM);
    if (info.st_uid != geteuid())
        return Refuse(folder, "belongs to user " + std::to_string(info.st_uid), EPERM);
    if ((info.st_mode & 0777) != 0700)
        return Refuse(folder, "lets other users in (mode 0" + ToOctal(info.st_mode & 0777) + ")",
                      EPERM);
    return true;
}

// This user's home, from the account rather than the environment, when nobody else may
// write in it: a folder made there cannot have been made first by another user.
std::string PrivateHome() {
    const passwd* account = getpwuid(geteuid());
    struct stat info;
    if (account == nullptr || account->pw_dir == nullptr || account->pw_dir[0] != '/') {
        Refuse("the home folder of user " + std::to_string(geteuid()), "is unknown", ENOENT);
        return {};
    }
    const std::string home = account->pw_dir;
    if (stat(home.c_str(), &info) != 0) {
        Refuse(home, "cannot be read", errno);
        return {};
    }
    if (info.st_uid != geteuid() || (info.st_mode & 022) != 0) {
        Refuse(home, "may be written by other users", EPERM);
        return {};
    }
    return home;
}

// The folder of the socket: $XDG_RUNTIME_DIR/qxlauncher, or ~/.qxlauncher without a runtime
// directory (a shared folder such as /tmp would let another user take the name first).
// Empty, with the reason, when it cannot be made private.
std::string SocketFolder() {
    t_problem.clear();
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder;
    if (runtime != nullptr && runtime[0] == '/') {
        folder = std::string(runtime) + "/qxlauncher";
    } else {
        const std::string home = PrivateHome();
        if (home.empty())
            return {};
        folder = home + "/.qxlauncher";
    }
    return PrivateFolder(folder) ? folder : std::string();
}

bool SocketAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

int Milliseconds(std::chrono::milliseconds timeout) {
    if (timeout.count() <= 0)
        return 0;
    return timeout.count() > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(timeout.count());
}

// A descriptor that becomes readable when the installer ends. Taken while the caller's
// Process object has not yet collected the program, so the id still names it; -1 when it has
// already ended (or the system lacks pidfd, where the polls then rely on the socket alone).
UniqueFd WatchProcess(const Process& installer) {
    if (!installer.IsRunning())
        return UniqueFd();
    return UniqueFd(static_cast<int>(syscall(SYS_pidfd_open, installer.Id(), 0)));
}

enum class Outcome { Ready, Exited, TimedOut, Failed };
Outcome PollWithExit(int fd, const Process& installer, int milliseconds) {
    const UniqueFd watch = WatchProcess(installer);
    // An installer that has ended may still have left its connection or its verdict: the
    // socket is looked at once more, without waiting.
    const bool ended = watch.Get() < 0 && !installer.IsRunning();
    pollfd fds[2] = {{fd, POLLIN, 0}, {watch.Get(), POLLIN, 0}};
    const nfds_t count = watch.Get() >= 0 ? 2 : 1;
    int n;
    while ((n = poll(fds, count, ended ? 0 : milliseconds)) < 0 && errno == EINTR) {
    }
    if (n < 0)
        return Outcome::Failed;
    // The socket first: a verdict sent just before the exit is still taken.
    if (fds[0].revents != 0)
        return Outcome::Ready;
    return ended || n > 0 ? Outcome::Exited : Outcome::TimedOut;
}

} // namespace

struct InstallerPipeServer::Handle {
    UniqueFd listener;
    UniqueFd lock; // held for the server's life: a second server cannot take the name
    UniqueFd client;
    std::string socketPath;
    unsigned long clientId = 0;

    ~Handle() {
        if (listener.Get() >= 0)
            unlink(socketPath.c_str());
    }
};

InstallerPipeServer::InstallerPipeServer(std::unique_ptr<Handle> handle)
    : m_handle(std::move(handle)) {}
InstallerPipeServer::InstallerPipeServer(InstallerPipeServer&&) noexcept = default;
InstallerPipeServer& InstallerPipeServer::operator=(InstallerPipeServer&&) noexcept = default;
InstallerPipeServer::~InstallerPipeServer() = default;

std::optional<InstallerPipeServer> InstallerPipeServer::Create() {
    const std::string folder = SocketFolder();
    if (folder.empty())
        return std::nullopt;
    auto handle = std::make_unique<Handle>();
    // The lock tells a live server from a stale socket file that a killed one left: the
    // socket file may be replaced only while nobody holds the lock.
    const std::string lockPath = folder + "/" + kSocketName + ".lock";
    handle->lock.Reset(open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (handle->lock.Get() < 0)
        return std::nullopt;
    if (flock(handle->lock.Get(), LOCK_EX | LOCK_NB) != 0) {
        errno = EADDRINUSE;
        return std::nullopt;
    }
    const std::string path = folder + "/" + kSocketName;
    sockaddr_un address;
    if (!SocketAddress(path, address))
        return std::nullopt;
    unlink(path.c_str());
    handle->listener.Reset(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (handle->listener.Get() < 0)
        return std::nullopt;
    if (bind(handle->listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
        0) {
        handle->listener.Reset();
        return std::nullopt;
    }
    handle->socketPath = path;
    if (listen(handle->listener.Get(), 1) != 0)
        return std::nullopt;
    return InstallerPipeServer(std::move(handle));
}

InstallerPipeServer::Wait InstallerPipeServer::WaitForClient(const Process& installer,
                                                             std::chrono::milliseconds timeout) {
    Handle& h = *m_handle;
    switch (PollWithExit(h.listener.Get(), installer, Milliseconds(timeout))) {
    case Outcome::Ready:
        break;
    case Outcome::Exited:
        return Wait::Exited;
    case Outcome::TimedOut:
        return Wait::TimedOut;
    case Outcome::Failed:
        return Wait::Failed;
    }
    UniqueFd client(accept4(h.listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (client.Get() < 0)
        return Wait::Failed;
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(client.Get(), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return Wait::Failed;
    h.clientId = static_cast<unsigned long>(credentials.pid);
    if (h.clientId != installer.Id())
        return Wait::Refused;
    h.client = std::move(client);
    return Wait::Connected;
}

bool InstallerPipeServer::ReadMessage(const Process& installer, std::string& message) {
    Handle& h = *m_handle;
    if (h.client.Get() < 0 || h.clientId != installer.Id())
        return false;
    if (PollWithExit(h.client.Get(), installer, -1) != Outcome::Ready)
        return false;
    char buffer[kInstallerMessageMax];
    ssize_t n;
    while ((n = recv(h.client.Get(), buffer, sizeof buffer, MSG_DONTWAIT)) < 0 && errno == EINTR) {
    }
    // Zero bytes: the installer closed its end without a message. A longer message comes
    // cut to its first kInstallerMessageMax bytes.
    if (n <= 0)
        return false;
    message.assign(buffer, static_cast<std::size_t>(n));
    return true;
}

unsigned long InstallerPipeServer::LastClientId() const { return m_handle->clientId; }

bool InstallerPipeServer::IsBusy(long error) { return error == EADDRINUSE; }

std::wstring InstallerPipeProblem() { return t_problem; }

struct InstallerPipeClient::Handle {
    UniqueFd socket;
};

InstallerPipeClient::InstallerPipeClient(std::unique_ptr<Handle> handle)
    : m_handle(std::move(handle)) {}
InstallerPipeClient::InstallerPipeClient(InstallerPipeClient&&) noexcept = default;
InstallerPipeClient& InstallerPipeClient::operator=(InstallerPipeClient&&) noexcept = default;
InstallerPipeClient::~InstallerPipeClient() = default;

std::optional<InstallerPipeClient> InstallerPipeClient::Connect(std::chrono::milliseconds timeout) {
    const std::string folder = SocketFolder();
    sockaddr_un address;
    if (folder.empty() || !SocketAddress(folder + "/" + kSocketName, address))
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto handle = std::make_unique<Handle>();
    for (;;) {
        handle->socket.Reset(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
        if (handle->socket.Get() < 0)
            return std::nullopt;
        if (connect(handle->socket.Get(), reinterpret_cast<const sockaddr*>(&address),
                    sizeof address) == 0)
            return InstallerPipeClient(std::move(handle));
        // Not there yet, or its one-place queue is full: try again until the time is up.
        if ((errno != ENOENT && errno != ECONNREFUSED && errno != EAGAIN) ||
            std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        usleep(kRetryPauseMs * 1000);
    }
}

bool InstallerPipeClient::Send(const std::string& message) {
    const std::size_t size = std::min(message.size(), kInstallerMessageMax);
    return send(m_handle->socket.Get(), message.data(), size, MSG_NOSIGNAL) ==
           static_cast<ssize_t>(size);
}

} // namespace qxplat
