#pragma once

#include "ui/QXLUserInterface.h"

// The user interface of the Windows launcher: system-modal message boxes in the user's default
// language, and WinINet's own dialogs for the questions of HTTP requests. It has no windows
// yet: no progress window, and the dialogs answer Cancel without showing.
class CQXLWin32UserInterface : public IQXLUserInterface {
public:
    IQXLProgressWindow* GetProgressWindow() override { return nullptr; }
    void RunMessageLoop(const CQXEvent& workerDone) override;
    int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned flags,
                       QXLBoxOwner owner) override;
    int ShowCredentialDialog(CQXLCredentialDlg&) override { return kQXIdCancel; }
    int ShowSelectVersionDialog(CQXLSelectVersionDlg&) override { return kQXIdCancel; }
    int ShowWarnUpdateDialog(CQXLWarnUpdateDlg&) override { return kQXIdCancel; }
    qxplat::HttpPrompt* GetHttpPrompt() override { return nullptr; }
};
