#pragma once

#include "shell/win32/Win32DialogView.h"
#include "ui/QXLWarnUpdateDlg.h"

// The window of the update warning dialog: a notice with OK or a Yes/No question, and the
// release note button with its own progress bar. The release note download runs on a thread
// of the model's and reaches this window through SendMessage only. A button that ends the
// dialog while the download runs hides it and ends it once the download has ended, so that
// neither the window nor this object goes away under the download.
class CQXLWin32WarnUpdateView : public CQXLWin32DialogView, public IQXLReleaseNoteView {
public:
    // model must outlive the view.
    explicit CQXLWin32WarnUpdateView(CQXLWarnUpdateDlg& model) : m_model(model) {}

    // Shows the dialog modally on the calling thread, owned by owner, and returns once any
    // release note download has ended. Returns 1 (OK), 6 (Yes), 7 (No) or 2 (closed, or no
    // dialog could be made).
    int Run(HINSTANCE instance, HWND owner);

    // Download thread: each call is sent to the dialog's thread and returns when done.
    void SetRange(int minimum, int maximum) override;
    void SetPosition(int position) override;
    void ReleaseNoteFinished(int state) override;

private:
    bool OnInitDialog() override;
    void OnButton(int id) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnReleaseNote();
    void OnDownloadEnded(int state);
    void End(int result);

    CQXLWarnUpdateDlg& m_model;
    // Dialog thread only.
    bool m_downloading = false;
    int m_pendingResult = 0;
};
