#include "platform/Process.h"

#include <windows.h>

namespace qxplat {

struct Process::Handle {
    HANDLE process;
    DWORD id;

    Handle(HANDLE h, DWORD pid) : process(h), id(pid) {}
    ~Handle() { CloseHandle(process); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

Process::Process(std::unique_ptr<Handle> handle) : m_handle(std::move(handle)) {}
Process::Process(Process&&) noexcept = default;
Process& Process::operator=(Process&&) noexcept = default;
Process::~Process() = default;

unsigned long Process::Id() const { return m_handle->id; }

bool Process::IsRunning() const {
    return WaitForSingleObject(m_handle->process, 0) == WAIT_TIMEOUT;
}

std::optional<int> Process::WaitForExit(std::chrono::milliseconds timeout) const {
    const auto count = timeout.count();
    const DWORD wait = count < 0 ? 0 : count >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(count);
    if (WaitForSingleObject(m_handle->process, wait) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(m_handle->process, &code))
        return std::nullopt;
    return static_cast<int>(code);
}

std::optional<Process> StartProcess(const std::wstring& commandLine,
                                    const std::vector<std::wstring>&) {
    // CreateProcessW may write into the line it is given.
    std::wstring writable = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &info))
        return std::nullopt;
    CloseHandle(info.hThread);
    return Process(std::make_unique<Process::Handle>(info.hProcess, info.dwProcessId));
}

} // namespace qxplat
