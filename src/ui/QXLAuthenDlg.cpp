#include "ui/QXLAuthenDlg.h"

#include <iterator>

namespace {

constexpr unsigned kTextEnterLogin = 2;
constexpr unsigned kTextEnterPassword = 3;

constexpr SQXLControl kControls[] = {
    {102, QXLControlKind::Label, 12, 11, 41, 8, 16},
    {CQXLAuthenDlg::kEditLogin, QXLControlKind::Edit, 80, 5, 54, 12, 0},
    {109, QXLControlKind::Label, 12, 33, 50, 8, 17},
    {CQXLAuthenDlg::kEditPassword, QXLControlKind::PasswordEdit, 80, 29, 54, 12, 0},
    {kQXLButtonOk, QXLControlKind::DefaultButton, 22, 57, 40, 15, 19},
    {kQXLButtonCancel, QXLControlKind::Button, 81, 57, 40, 15, 20},
};

constexpr SQXLDialogLayout kLayout{CQXLAuthenDlg::kTemplate, 143,       79,
                                   kQXTextCaption,           kControls, std::size(kControls)};

} // namespace

void CQXLAuthenDlg::Clear() {
    m_login.clear();
    m_password.clear();
}

const SQXLDialogLayout& CQXLAuthenDlg::Layout() const { return kLayout; }

SQXLDialogVerdict CQXLAuthenDlg::OnOk(QXLEditTexts& edits) {
    const std::wstring login = EditText(edits, kEditLogin);
    if (login.empty())
        return {false, kTextEnterLogin};
    // Kept even when the password is missing: the next OK starts from it.
    m_login = login;
    const std::wstring password = EditText(edits, kEditPassword);
    if (password.empty())
        return {false, kTextEnterPassword};
    m_password = password;
    return {true, 0};
}
