#pragma once

#include <memory>
#include <windows.h>

#include "shell/win32/QXLauncherDlg.h"
#include "shell/win32/Win32ProgressWindow.h"
#include "ui/QXLUserInterface.h"

// The user interface of the Windows launcher: the invisible main window with the splash as
// progress window, on the main thread; message boxes and the modal dialogs, run on the calling
// (worker) thread and owned by the main window; WinINet's own dialogs for the questions of
// HTTP requests. Built, given its windows and destroyed on the main thread.
class CQXLWin32UserInterface : public IQXLUserInterface {
public:
    explicit CQXLWin32UserInterface(HINSTANCE instance);

    // Makes the main window and the hidden splash on the calling thread, which must then run
    // RunMessageLoop. False when they could not be made: the run then goes on without a
    // progress window, with boxes and dialogs that have no owner.
    bool CreateWindows();

    IQXLProgressWindow* GetProgressWindow() override { return m_progress.get(); }
    // Pumps the windows' messages until workerDone is set. The close message (the quit
    // message) hides the splash; boxes the worker shows after it are still served.
    void RunMessageLoop(const CQXEvent& workerDone) override;
    // Owner: the splash for QXLBoxOwner::ProgressWindow while it exists, otherwise none.
    int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned flags,
                       QXLBoxOwner owner) override;
    int ShowCredentialDialog(CQXLCredentialDlg& dialog) override;
    int ShowSelectVersionDialog(CQXLSelectVersionDlg& dialog) override;
    int ShowWarnUpdateDialog(CQXLWarnUpdateDlg& dialog) override;
    qxplat::HttpPrompt* GetHttpPrompt() override { return nullptr; }

private:
    HINSTANCE m_instance;
    CQXLauncherDlg m_mainWindow;
    std::unique_ptr<CQXLWin32ProgressWindow> m_progress;
};
