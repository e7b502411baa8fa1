#include "shell/win32/Win32SelectVersionView.h"

int CQXLWin32SelectVersionView::Run(HINSTANCE instance, HWND owner) {
    const INT_PTR result = RunModal(instance, CQXLSelectVersionDlg::kTemplate, owner);
    if (result == -1) {
        return m_model.OnDefault();
    }
    return static_cast<int>(result);
}

bool CQXLWin32SelectVersionView::OnInitDialog() {
    SetWindowTextW(Handle(), m_model.Caption().c_str());
    for (const int id :
         {CQXLSelectVersionDlg::kLabel, IDOK, CQXLSelectVersionDlg::kButtonDefault}) {
        const std::wstring text = m_model.ControlText(id);
        if (!text.empty()) {
            SetItemText(id, text);
        }
    }
    const int first = m_model.OnInit();
    HWND list = GetDlgItem(Handle(), CQXLSelectVersionDlg::kList);
    for (const std::wstring& version : m_model.Versions()) {
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(version.c_str()));
    }
    if (first >= 0) {
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(first), 0);
    }
    return true;
}

void CQXLWin32SelectVersionView::OnButton(int id) {
    if (id == IDOK) {
        const LRESULT selected =
            SendDlgItemMessageW(Handle(), CQXLSelectVersionDlg::kList, CB_GETCURSEL, 0, 0);
        EndDialog(Handle(), m_model.OnOk(selected == CB_ERR ? -1 : static_cast<int>(selected)));
    } else if (id == CQXLSelectVersionDlg::kButtonDefault || id == IDCANCEL) {
        EndDialog(Handle(), m_model.OnDefault());
    }
}
