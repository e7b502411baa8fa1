#include "shell/win32/Win32ProgressWindow.h"

#include "shell/win32/QXLResourceIds.h"

void CQXLWin32ProgressWindow::SetRange(int minimum, int maximum) {
    SendMessageW(m_splash, WM_QXL_SET_RANGE, static_cast<WPARAM>(minimum),
                 static_cast<LPARAM>(maximum));
}

void CQXLWin32ProgressWindow::SetPosition(int position) {
    SendMessageW(m_splash, WM_QXL_SET_POSITION, static_cast<WPARAM>(position), 0);
}

void CQXLWin32ProgressWindow::SetStatusText(const std::wstring& text) {
    SetDlgItemTextW(m_splash, IDC_QXL_STATUS, text.c_str());
}

void CQXLWin32ProgressWindow::Show() { ShowWindow(m_splash, SW_SHOWNORMAL); }

void CQXLWin32ProgressWindow::Hide() { ShowWindow(m_splash, SW_HIDE); }

void CQXLWin32ProgressWindow::Close() { SendMessageW(m_splash, WM_QXL_CLOSE, 0, 0); }
