#include "shell/win32/Win32WarnUpdateView.h"

#include <commctrl.h>

#include "shell/win32/QXLResourceIds.h"

int CQXLWin32WarnUpdateView::Run(HINSTANCE instance, HWND owner) {
    const INT_PTR result = RunModal(instance, CQXLWarnUpdateDlg::kTemplate, owner);
    // The download has reported its end before the dialog ended; this only joins its thread.
    m_model.WaitForDownload();
    return result == -1 ? IDCANCEL : static_cast<int>(result);
}

void CQXLWin32WarnUpdateView::SetRange(int minimum, int maximum) {
    SendMessageW(Handle(), WM_QXL_SET_RANGE, static_cast<WPARAM>(minimum),
                 static_cast<LPARAM>(maximum));
}

void CQXLWin32WarnUpdateView::SetPosition(int position) {
    SendMessageW(Handle(), WM_QXL_SET_POSITION, static_cast<WPARAM>(position), 0);
}

void CQXLWin32WarnUpdateView::ReleaseNoteFinished(int state) {
    SendMessageW(Handle(), WM_QXL_RELEASE_NOTE_DONE, static_cast<WPARAM>(state), 0);
}

bool CQXLWin32WarnUpdateView::OnInitDialog() {
    SetWindowTextW(Handle(), m_model.Caption().c_str());
    SetItemText(CQXLWarnUpdateDlg::kText, m_model.Message());
    for (const int id : {IDOK, CQXLWarnUpdateDlg::kButtonYes, CQXLWarnUpdateDlg::kButtonNo,
                         CQXLWarnUpdateDlg::kButtonReleaseNote}) {
        const std::wstring text = m_model.ControlText(id);
        if (!text.empty()) {
            SetItemText(id, text);
        }
    }
    if (m_model.ReleaseNoteState() == CQXLWarnUpdateDlg::kNoteNone) {
        EnableItem(CQXLWarnUpdateDlg::kButtonReleaseNote, false);
        EnableItem(CQXLWarnUpdateDlg::kProgress, false);
    }
    const bool question = m_model.IsQuestion();
    ShowItem(IDOK, !question);
    ShowItem(CQXLWarnUpdateDlg::kButtonYes, question);
    ShowItem(CQXLWarnUpdateDlg::kButtonNo, question);
    const int focus = question ? CQXLWarnUpdateDlg::kButtonNo : IDOK;
    SendMessageW(Handle(), DM_SETDEFID, static_cast<WPARAM>(focus), 0);
    SetFocus(GetDlgItem(Handle(), focus));
    return false;
}

void CQXLWin32WarnUpdateView::OnButton(int id) {
    switch (id) {
    case IDOK:
    case IDCANCEL:
    case CQXLWarnUpdateDlg::kButtonYes:
    case CQXLWarnUpdateDlg::kButtonNo:
        End(id);
        break;
    case CQXLWarnUpdateDlg::kButtonReleaseNote:
        OnReleaseNote();
        break;
    default:
        break;
    }
}

void CQXLWin32WarnUpdateView::OnReleaseNote() {
    if (m_downloading) {
        return;
    }
    if (m_model.ReleaseNoteState() == CQXLWarnUpdateDlg::kNoteAvailable) {
        EnableItem(CQXLWarnUpdateDlg::kButtonReleaseNote, false);
        ShowItem(CQXLWarnUpdateDlg::kProgress, true);
        m_downloading = true;
    }
    m_model.OnReleaseNote(*this);
}

bool CQXLWin32WarnUpdateView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                        LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_QXL_SET_RANGE:
        SendDlgItemMessageW(Handle(), CQXLWarnUpdateDlg::kProgress, PBM_SETRANGE32, wParam, lParam);
        return true;
    case WM_QXL_SET_POSITION:
        SendDlgItemMessageW(Handle(), CQXLWarnUpdateDlg::kProgress, PBM_SETPOS, wParam, 0);
        return true;
    case WM_QXL_RELEASE_NOTE_DONE:
        OnDownloadEnded(static_cast<int>(wParam));
        return true;
    default:
        return false;
    }
}

void CQXLWin32WarnUpdateView::OnDownloadEnded(int state) {
    m_downloading = false;
    ShowItem(CQXLWarnUpdateDlg::kProgress, false);
    SetItemText(CQXLWarnUpdateDlg::kButtonReleaseNote,
                m_model.ControlText(CQXLWarnUpdateDlg::kButtonReleaseNote));
    EnableItem(CQXLWarnUpdateDlg::kButtonReleaseNote, state == CQXLWarnUpdateDlg::kNoteDownloaded);
    ShowItem(CQXLWarnUpdateDlg::kButtonReleaseNote, true);
    if (m_pendingResult != 0) {
        EndDialog(Handle(), m_pendingResult);
    }
}

void CQXLWin32WarnUpdateView::End(int result) {
    if (!m_downloading) {
        EndDialog(Handle(), result);
        return;
    }
    // The download still reports to this window: end once it is over.
    m_pendingResult = result;
    ShowWindow(Handle(), SW_HIDE);
}
