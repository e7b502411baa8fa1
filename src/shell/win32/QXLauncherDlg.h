#pragma once

#include "shell/win32/QXLauncherSplashScr.h"
#include "shell/win32/Win32DialogView.h"

// The application's main window: a modeless dialog that is never shown, owner of the splash
// (the progress window) and of the modal dialogs. Carries the application icon. Lives on the
// main thread; destroying it destroys the splash.
class CQXLauncherDlg : public CQXLWin32DialogView {
public:
    // Loads the icon.
    explicit CQXLauncherDlg(HINSTANCE instance);
    ~CQXLauncherDlg() override;

    // Makes the window, without parent, and with it the hidden splash; false when either
    // could not be made.
    bool Create();
    // The splash window, null before Create.
    HWND SplashWindow() const { return m_splash.Handle(); }

private:
    bool OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void PaintIcon();

    HINSTANCE m_instance;
    HICON m_icon = nullptr;
    HICON m_smallIcon = nullptr;
    CQXLauncherSplashScr m_splash;
};
