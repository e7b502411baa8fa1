#include "platform/Restart.h"

#include <windows.h>

namespace qxplat {

namespace {

// The process token, closed on every way out.
class TokenHandle {
public:
    TokenHandle() = default;
    ~TokenHandle() {
        if (m_handle != nullptr)
            CloseHandle(m_handle);
    }
    TokenHandle(const TokenHandle&) = delete;
    TokenHandle& operator=(const TokenHandle&) = delete;

    HANDLE* Out() { return &m_handle; }
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle = nullptr;
};

bool EnableShutdownPrivilege() {
    TokenHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Out()))
        return false;
    TOKEN_PRIVILEGES privileges{};
    if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
        return false;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // The call succeeds even when the privilege was not granted; only the last error
    // (ERROR_NOT_ALL_ASSIGNED) tells.
    SetLastError(ERROR_SUCCESS);
    if (!AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr))
        return false;
    return GetLastError() == ERROR_SUCCESS;
}

} // namespace

bool RestartSystem() {
    if (!EnableShutdownPrivilege())
        return false;
    // Programs that still answer may save their work; only hung ones are closed by force.
    return ExitWindowsEx(EWX_REBOOT | EWX_FORCEIFHUNG, 0) != 0;
}

} // namespace qxplat
