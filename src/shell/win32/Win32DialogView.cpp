#include "shell/win32/Win32DialogView.h"

namespace {
// GetDlgItemText's buffer: the dialogs count at most 1023 characters of an edit.
constexpr int kTextBuffer = 1024;
} // namespace

INT_PTR CQXLWin32DialogView::RunModal(HINSTANCE instance, int templateId, HWND owner) {
    m_modal = true;
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), owner, &DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

HWND CQXLWin32DialogView::CreateModeless(HINSTANCE instance, int templateId, HWND owner) {
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), owner, &DialogProc,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CQXLWin32DialogView::DialogProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* view = reinterpret_cast<CQXLWin32DialogView*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        view->m_window = window;
        return view->OnInitDialog() ? TRUE : FALSE;
    }
    auto* view = reinterpret_cast<CQXLWin32DialogView*>(GetWindowLongPtrW(window, DWLP_USER));
    if (view == nullptr) {
        return FALSE; // messages before WM_INITDIALOG
    }
    if (message == WM_NCDESTROY) {
        view->m_window = nullptr;
        return FALSE;
    }
    if (message == WM_SHOWWINDOW && wParam != FALSE && view->m_modal) {
        // A dialog of the worker thread: bring it to the front, where the user types into it,
        // since the thread that the user started (the main thread) shows no window of its own.
        SetForegroundWindow(window);
    }
    return view->Dispatch(message, wParam, lParam);
}

INT_PTR CQXLWin32DialogView::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        if (HIWORD(wParam) != BN_CLICKED) {
            return FALSE; // edit and list notifications
        }
        OnButton(LOWORD(wParam));
        return TRUE;
    }
    LRESULT result = 0;
    if (!OnMessage(message, wParam, lParam, result)) {
        return FALSE;
    }
    // A few messages (the drag icon among them) return their result directly; the rest
    // through DWLP_MSGRESULT.
    if (message == WM_QUERYDRAGICON) {
        return static_cast<INT_PTR>(result);
    }
    SetWindowLongPtrW(m_window, DWLP_MSGRESULT, result);
    return TRUE;
}

std::wstring CQXLWin32DialogView::ItemText(int id) const {
    wchar_t buffer[kTextBuffer] = {};
    const UINT length = GetDlgItemTextW(m_window, id, buffer, kTextBuffer);
    return std::wstring(buffer, length);
}

void CQXLWin32DialogView::SetItemText(int id, const std::wstring& text) const {
    SetDlgItemTextW(m_window, id, text.c_str());
}

void CQXLWin32DialogView::ShowItem(int id, bool show) const {
    ShowWindow(GetDlgItem(m_window, id), show ? SW_SHOW : SW_HIDE);
}

void CQXLWin32DialogView::EnableItem(int id, bool enable) const {
    EnableWindow(GetDlgItem(m_window, id), enable ? TRUE : FALSE);
}

int CQXLWin32DialogView::ShowBox(const std::wstring& text, const std::wstring& caption,
                                 UINT flags) const {
    return MessageBoxExW(m_window, text.c_str(), caption.c_str(), flags, GetUserDefaultLangID());
}
