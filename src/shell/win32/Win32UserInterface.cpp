#include "shell/win32/Win32UserInterface.h"

#include <commctrl.h>

#include "base/QXEvent.h"
#include "shell/win32/QXLResourceIds.h"
#include "shell/win32/Win32CredentialView.h"
#include "shell/win32/Win32SelectVersionView.h"
#include "shell/win32/Win32WarnUpdateView.h"
#include "ui/QXLAceNewPinDlg.h"
#include "ui/QXLAceNextPasscodeDlg.h"
#include "ui/QXLAuthenDlg.h"
#include "ui/QXLChangePwdDlg.h"
#include "ui/QXLWindowLayouts.h"

namespace {
// How long the loop sleeps at most before it looks at the worker's done event again.
constexpr DWORD kPollMilliseconds = 100;

// The resources' ids are the models' ids: the views find the controls by the models' ids.
static_assert(IDD_QXL_LOGIN == CQXLAuthenDlg::kTemplate);
static_assert(IDC_QXL_LOGIN_EDIT == CQXLAuthenDlg::kEditLogin);
static_assert(IDC_QXL_PASSWORD_EDIT == CQXLAuthenDlg::kEditPassword);
static_assert(IDD_QXL_CHANGE_PASSWORD == CQXLChangePwdDlg::kTemplate);
static_assert(IDC_QXL_CHANGE_HEADING == CQXLChangePwdDlg::kHeading);
static_assert(IDC_QXL_CHANGE_EDIT == CQXLChangePwdDlg::kEditPassword);
static_assert(IDC_QXL_CHANGE_VERIFY_EDIT == CQXLChangePwdDlg::kEditVerify);
static_assert(IDD_QXL_NEW_PIN == CQXLAceNewPinDlg::kTemplate);
static_assert(IDC_QXL_PIN_EDIT == CQXLAceNewPinDlg::kEditPin);
static_assert(IDC_QXL_PIN_VERIFY_EDIT == CQXLAceNewPinDlg::kEditVerify);
static_assert(IDD_QXL_NEXT_PASSCODE == CQXLAceNextPasscodeDlg::kTemplate);
static_assert(IDC_QXL_PASSCODE_EDIT == CQXLAceNextPasscodeDlg::kEditPasscode);
static_assert(IDD_QXL_SELECT_VERSION == CQXLSelectVersionDlg::kTemplate);
static_assert(IDC_QXL_VERSION_LABEL == CQXLSelectVersionDlg::kLabel);
static_assert(IDC_QXL_VERSION_LIST == CQXLSelectVersionDlg::kList);
static_assert(IDC_QXL_VERSION_DEFAULT == CQXLSelectVersionDlg::kButtonDefault);
static_assert(IDD_QXL_WARN_UPDATE == CQXLWarnUpdateDlg::kTemplate);
static_assert(IDC_QXL_WARN_TEXT == CQXLWarnUpdateDlg::kText);
static_assert(IDC_QXL_WARN_RELEASE_NOTE == CQXLWarnUpdateDlg::kButtonReleaseNote);
static_assert(IDC_QXL_WARN_PROGRESS == CQXLWarnUpdateDlg::kProgress);
static_assert(IDD_QXL_MAIN == kQXLMainWindowTemplate);
static_assert(IDD_QXL_SPLASH == kQXLSplashTemplate);
static_assert(IDB_QXL_SPLASH == kQXLSplashBitmap);
static_assert(IDI_QXL_LAUNCHER == kQXLApplicationIcon);
static_assert(IDC_QXL_PICTURE == kQXLSplashPicture);
static_assert(IDC_QXL_STATUS == kQXLSplashStatus);
static_assert(IDC_QXL_PROGRESS == kQXLSplashProgress);
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
