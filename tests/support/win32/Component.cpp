// A component for the installer's [Register] tests: registering it appends its own path, one
// line, to the file that QX_COMPONENT_RECORD names (nothing when it is not set).
#include <windows.h>

namespace {
HMODULE g_module = nullptr;
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        g_module = module;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t record[MAX_PATH];
    wchar_t self[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(L"QX_COMPONENT_RECORD", record, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return S_OK;
    const DWORD length = GetModuleFileNameW(g_module, self, MAX_PATH);
    const HANDLE file = CreateFileW(record, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return E_FAIL;
    char line[MAX_PATH * 3];
    int size = WideCharToMultiByte(CP_UTF8, 0, self, static_cast<int>(length), line,
                                   sizeof line - 1, nullptr, nullptr);
    line[size++] = '\n';
    DWORD written = 0;
    const BOOL done = WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return done ? S_OK : E_FAIL;
}
