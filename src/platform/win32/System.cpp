#include "platform/System.h"

#include <windows.h>

namespace qxplat {

const wchar_t kPathSeparator = L'\\';

std::wstring ModulePath() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return {};
    return std::wstring(path, n);
}

std::wstring CurrentDirectory() {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring path(size, L'\0');
    const DWORD n = GetCurrentDirectoryW(size, path.data());
    path.resize(n < size ? n : 0);
    return path;
}

std::optional<std::wstring> Environment(const std::wstring& name) {
    SetLastError(ERROR_SUCCESS);
    const DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size == 0)
        return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt
                                                        : std::optional<std::wstring>(L"");
    std::wstring value(size, L'\0');
    const DWORD n = GetEnvironmentVariableW(name.c_str(), value.data(), size);
    value.resize(n < size ? n : 0);
    return value;
}

std::uint16_t UserUILanguage() { return GetUserDefaultUILanguage(); }

unsigned long CurrentThreadId() { return GetCurrentThreadId(); }

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

unsigned long LastError() { return GetLastError(); }

bool LocalTime(std::time_t t, std::tm& out) { return localtime_s(&out, &t) == 0; }

} // namespace qxplat
