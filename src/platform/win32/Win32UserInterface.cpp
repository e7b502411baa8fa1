#include "platform/win32/Win32UserInterface.h"

#include <windows.h>

#include "base/QXEvent.h"

void CQXLWin32UserInterface::RunMessageLoop(const CQXEvent& workerDone) {
    while (!workerDone.WaitFor(std::chrono::milliseconds(100))) {
    }
}

int CQXLWin32UserInterface::ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                                           unsigned flags, QXLBoxOwner) {
    // Every box of the launcher is system-modal: it runs on the worker thread, whose windows
    // the user cannot see otherwise.
    return MessageBoxExW(nullptr, text.c_str(), caption.c_str(), flags | MB_SYSTEMMODAL,
                         GetUserDefaultLangID());
}
