#include <windows.h>
// After windows.h, whose types they use.
#include <objbase.h>
#include <shellapi.h>

#include "platform/Process.h"

namespace qxplat {

void OpenDocument(const std::wstring& path) {
    // Some shell handlers are COM objects: the calling thread needs COM, in the apartment the
    // shell expects; a thread that has it already keeps it as it is.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    // Quoted, so that a path with blanks names one file.
    const std::wstring file = L"\"" + path + L"\"";
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = file.c_str();
    info.nShow = SW_SHOW;
    // The default verb; the launcher neither waits for the program nor looks at the result.
    if (ShellExecuteExW(&info) && info.hProcess != nullptr)
        CloseHandle(info.hProcess);
    if (SUCCEEDED(com))
        CoUninitialize();
}

} // namespace qxplat
