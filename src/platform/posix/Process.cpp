#include "platform/Process.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/Text.h"

extern char** environ;

namespace qxplat {

struct Process::Handle {
    const pid_t pid;
    std::mutex mutex;
    bool ended = false;
    int exitCode = -1;

    explicit Handle(pid_t p) : pid(p) {}

    // True once the child has ended. The first caller that sees the end reaps the child and
    // keeps its status; a zombie therefore never counts as running, and later callers read
    // the kept status instead of asking about a process id that may have been reused.
    bool Poll() {
        std::lock_guard<std::mutex> lock(mutex);
        if (ended)
            return true;
        int status = 0;
        pid_t result;
        do {
            result = waitpid(pid, &status, WNOHANG);
        } while (result < 0 && errno == EINTR);
        if (result == 0)
            return false;
        ended = true;
        if (result == pid)
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }
};

Process::Process(std::unique_ptr<Handle> handle) : m_handle(std::move(handle)) {}
Process::Process(Process&&) noexcept = default;
Process& Process::operator=(Process&&) noexcept = default;
Process::~Process() = default;

unsigned long Process::Id() const { return static_cast<unsigned long>(m_handle->pid); }

bool Process::IsRunning() const { return !m_handle->Poll(); }

std::optional<int> Process::WaitForExit(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!m_handle->Poll()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return m_handle->exitCode;
}

namespace {

constexpr char kWindowsExtension[] = ".exe";
constexpr std::size_t kExtensionLength = sizeof kWindowsExtension - 1;

bool HasWindowsExtension(const std::string& name) {
    if (name.size() <= kExtensionLength)
        return false;
    for (std::size_t i = 0; i < kExtensionLength; ++i) {
        const char c = name[name.size() - kExtensionLength + i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != kWindowsExtension[i])
            return false;
    }
    return true;
}

// 0 when path is a file this user may run, else the error that says why not.
int CheckExecutable(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode))
        return EACCES;
    return access(path.c_str(), X_OK) == 0 ? 0 : errno;
}

// Finds program as the shell would, and the current directory first as Windows does: a name
// with a slash as it is, otherwise in the current directory, then in each folder of PATH.
std::optional<std::string> Locate(const std::string& program, int& error) {
    error = CheckExecutable(program);
    if (error == 0)
        return program;
    if (program.find('/') != std::string::npos)
        return std::nullopt;
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (CheckExecutable(candidate) == 0)
            return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

// The server names Windows programs; their Linux builds carry no extension.
std::optional<std::string> Resolve(const std::string& program, int& error) {
    if (auto found = Locate(program, error))
        return found;
    if (!HasWindowsExtension(program))
        return std::nullopt;
    int ignored = 0;
    return Locate(program.substr(0, program.size() - kExtensionLength), ignored);
}

class SpawnSettings {
public:
    // The child gets no descriptor of the launcher's (its standard ones read and write
    // /dev/null, as a Windows program without a console has none), default signal handling,
    // and a session of its own, so that it outlives the launcher's terminal.
    SpawnSettings() {
        posix_spawn_file_actions_init(&m_actions);
        posix_spawn_file_actions_addopen(&m_actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&m_actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&m_actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclosefrom_np(&m_actions, 3);
        posix_spawnattr_init(&m_attributes);
        sigset_t signals;
        sigemptyset(&signals);
        posix_spawnattr_setsigmask(&m_attributes, &signals);
        sigfillset(&signals);
        posix_spawnattr_setsigdefault(&m_attributes, &signals);
        posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                                    POSIX_SPAWN_SETSID);
    }
    ~SpawnSettings() {
        posix_spawnattr_destroy(&m_attributes);
        posix_spawn_file_actions_destroy(&m_actions);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    const posix_spawn_file_actions_t* Actions() const { return &m_actions; }
    const posix_spawnattr_t* Attributes() const { return &m_attributes; }

private:
    posix_spawn_file_actions_t m_actions;
    posix_spawnattr_t m_attributes;
};

} // namespace

std::optional<Process> StartProcess(const std::wstring&,
                                    const std::vector<std::wstring>& arguments) {
    if (arguments.empty()) {
        errno = ENOENT;
        return std::nullopt;
    }
    int error = 0;
    const std::optional<std::string> path = Resolve(ToNarrow(arguments[0]), error);
    if (!path) {
        errno = error;
        return std::nullopt;
    }
    std::vector<std::string> narrow{*path};
    for (std::size_t i = 1; i < arguments.size(); ++i)
        narrow.push_back(ToNarrow(arguments[i]));
    std::vector<char*> argv;
    for (std::string& argument : narrow)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    const SpawnSettings settings;
    pid_t pid = 0;
    const int result = posix_spawn(&pid, path->c_str(), settings.Actions(), settings.Attributes(),
                                   argv.data(), environ);
    if (result != 0) {
        errno = result;
        return std::nullopt;
    }
    return Process(std::make_unique<Process::Handle>(pid));
}

} // namespace qxplat
