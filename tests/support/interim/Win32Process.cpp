// Stand-in for the platform's program starts until they are part of the platform layer: just
// enough (start, id, running, wait) for the tests of the installer pipe and the installer.
#include <windows.h>

#include "platform/Process.h"

namespace qxplat {

struct Process::Handle {
    PROCESS_INFORMATION info{};
    ~Handle() {
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
};

Process::Process(std::unique_ptr<Handle> handle) : m_handle(std::move(handle)) {}
Process::Process(Process&&) noexcept = default;
Process& Process::operator=(Process&&) noexcept = default;
Process::~Process() = default;

unsigned long Process::Id() const { return m_handle->info.dwProcessId; }
bool Process::IsRunning() const {
    return WaitForSingleObject(m_handle->info.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<int> Process::WaitForExit(std::chrono::milliseconds timeout) const {
    if (WaitForSingleObject(m_handle->info.hProcess, static_cast<DWORD>(timeout.count())) !=
        WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(m_handle->info.hProcess, &code);
    return static_cast<int>(code);
}

std::optional<Process> StartProcess(const std::wstring& commandLine,
                                    const std::vector<std::wstring>&) {
    std::wstring line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    auto handle = std::make_unique<Process::Handle>();
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &handle->info))
        return std::nullopt;
    return Process(std::move(handle));
}

} // namespace qxplat
