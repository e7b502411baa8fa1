#include "platform/win32/Win32UserInterface.h"

#include <commctrl.h>

#include "base/QXEvent.h"
#include "platform/win32/Win32CredentialView.h"
#include "platform/win32/Win32SelectVersionView.h"
#include "platform/win32/Win32WarnUpdateView.h"

namespace {
// How long the loop sleeps at most before it looks at the worker's done event again.
constexpr DWORD kPollMilliseconds = 100;
} // namespace

CQXLWin32UserInterface::CQXLWin32UserInterface(HINSTANCE instance)
    : m_instance(instance), m_mainWindow(instance) {}

bool CQXLWin32UserInterface::CreateWindows() {
    // The progress bars' window class lives in the common controls.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    if (!m_mainWindow.Create()) {
        return false;
    }
    m_progress = std::make_unique<CQXLWin32ProgressWindow>(m_mainWindow.SplashWindow());
    return true;
}

void CQXLWin32UserInterface::RunMessageLoop(const CQXEvent& workerDone) {
    // The worker's done event is no system handle: wake at least every 100 ms to look at it.
    // Sent messages (the worker's SendMessage) are handled inside MsgWait and PeekMessage.
    while (!workerDone.IsSet()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMilliseconds, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // The launcher is closed; the worker may still unwind and show a box.
                if (m_progress != nullptr) {
                    ShowWindow(m_progress->Handle(), SW_HIDE);
                }
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

int CQXLWin32UserInterface::ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                                           unsigned flags, QXLBoxOwner owner) {
    HWND ownerWindow = owner == QXLBoxOwner::ProgressWindow && m_progress != nullptr
                           ? m_progress->Handle()
                           : nullptr;
    // System modal: the box runs on the worker thread, whose windows the user cannot see.
    return MessageBoxExW(ownerWindow, text.c_str(), caption.c_str(), flags | MB_SYSTEMMODAL,
                         GetUserDefaultLangID());
}

int CQXLWin32UserInterface::ShowCredentialDialog(CQXLCredentialDlg& dialog) {
    CQXLWin32CredentialView view(dialog);
    return view.Run(m_instance, m_mainWindow.Handle());
}

int CQXLWin32UserInterface::ShowSelectVersionDialog(CQXLSelectVersionDlg& dialog) {
    CQXLWin32SelectVersionView view(dialog);
    return view.Run(m_instance, m_mainWindow.Handle());
}

int CQXLWin32UserInterface::ShowWarnUpdateDialog(CQXLWarnUpdateDlg& dialog) {
    CQXLWin32WarnUpdateView view(dialog);
    return view.Run(m_instance, m_mainWindow.Handle());
}
