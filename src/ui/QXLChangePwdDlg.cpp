#include "ui/QXLChangePwdDlg.h"

#include <iterator>

#include "platform/LanguageTexts.h"

namespace {

constexpr unsigned kTextEnterTwice = 4;
constexpr unsigned kTextNotSame = 5;

constexpr SQXLControl kControls[] = {
    // The heading's text is the model's: expired (15) or voluntary change (54).
    {CQXLChangePwdDlg::kHeading, QXLControlKind::Label, 6, 5, 131, 17, 0},
    {103, QXLControlKind::Label, 6, 25, 76, 12, 17},
    {CQXLChangePwdDlg::kEditPassword, QXLControlKind::PasswordEdit, 83, 25, 54, 12, 0},
    {108, QXLControlKind::Label, 6, 44, 75, 12, 18},
    {CQXLChangePwdDlg::kEditVerify, QXLControlKind::PasswordEdit, 83, 44, 54, 12, 0},
    {kQXLButtonOk, QXLControlKind::DefaultButton, 22, 65, 40, 15, 19},
    {kQXLButtonCancel, QXLControlKind::Button, 81, 65, 40, 15, 20},
};

constexpr SQXLDialogLayout kLayout{CQXLChangePwdDlg::kTemplate, 143, 86, kQXTextCaption, kControls,
                                   std::size(kControls)};

} // namespace

const SQXLDialogLayout& CQXLChangePwdDlg::Layout() const { return kLayout; }

std::wstring CQXLChangePwdDlg::ControlText(int controlId) const {
    if (controlId == kHeading)
        return QXLoadText(GetLanguageBase(), m_headingTextId);
    return CQXLCredentialDlg::ControlText(controlId);
}

SQXLDialogVerdict CQXLChangePwdDlg::OnOk(QXLEditTexts& edits) {
    const std::wstring password = EditText(edits, kEditPassword);
    if (password.empty())
        return {false, kTextEnterTwice};
    const std::wstring verify = EditText(edits, kEditVerify);
    if (verify.empty())
        return {false, kTextEnterTwice};
    if (password != verify) {
        EmptyEdits(edits, {kEditPassword, kEditVerify});
        return {false, kTextNotSame};
    }
    m_newPassword = password;
    return {true, 0};
}
