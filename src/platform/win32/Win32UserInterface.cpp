#include "platform/win32/Win32UserInterface.h"

#include <windows.h>

int CQXLWin32UserInterface::ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                                           unsigned flags) {
    // Every box of the launcher is system-modal: it runs on the worker thread, whose windows
    // the user cannot see otherwise.
    return MessageBoxExW(nullptr, text.c_str(), caption.c_str(), flags | MB_SYSTEMMODAL,
                         GetUserDefaultLangID());
}
