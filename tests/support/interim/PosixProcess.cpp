// Stand-in for the platform's program starts until they are part of the platform layer: just
// enough (start, id, running, wait) for the tests of the installer pipe and the installer.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/Process.h"
#include "platform/Text.h"

extern char** environ;

namespace qxplat {

struct Process::Handle {
    pid_t pid = -1;
    mutable bool ended = false;
    mutable int code = 0;

    bool Collect(int flags) const {
        if (ended)
            return true;
        int status = 0;
        if (waitpid(pid, &status, flags) != pid)
            return false;
        ended = true;
        code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }
};

Process::Process(std::unique_ptr<Handle> handle) : m_handle(std::move(handle)) {}
Process::Process(Process&&) noexcept = default;
Process& Process::operator=(Process&&) noexcept = default;
Process::~Process() = default;

unsigned long Process::Id() const { return static_cast<unsigned long>(m_handle->pid); }
bool Process::IsRunning() const { return !m_handle->Collect(WNOHANG); }

std::optional<int> Process::WaitForExit(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!m_handle->Collect(WNOHANG)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return m_handle->code;
}

std::optional<Process> StartProcess(const std::wstring&,
                                    const std::vector<std::wstring>& arguments) {
    std::vector<std::string> narrow;
    for (const auto& argument : arguments)
        narrow.push_back(ToNarrow(argument));
    std::vector<char*> argv;
    for (auto& argument : narrow)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    auto handle = std::make_unique<Process::Handle>();
    if (argv.size() < 2 ||
        posix_spawn(&handle->pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return std::nullopt;
    return Process(std::move(handle));
}

} // namespace qxplat
