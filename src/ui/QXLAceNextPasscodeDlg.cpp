#include "ui/QXLAceNextPasscodeDlg.h"

#include <iterator>

namespace {

constexpr unsigned kTextEnterPasscode = 36;
constexpr unsigned kTextPasscodeLength = 37;
constexpr unsigned kTextPasscodeDigits = 38;
constexpr std::size_t kMinimumLength = 6;

// The heading holds three lines, so that the French one fits; the rest sits lower for it.
constexpr SQXLControl kControls[] = {
    {1007, QXLControlKind::Label, 8, 5, 131, 25, 31},
    {110, QXLControlKind::Label, 6, 34, 72, 12, 32},
    {CQXLAceNextPasscodeDlg::kEditPasscode, QXLControlKind::PasswordEdit, 85, 34, 54, 12, 0},
    {kQXLButtonOk, QXLControlKind::DefaultButton, 23, 55, 40, 15, 19},
    {kQXLButtonCancel, QXLControlKind::Button, 83, 55, 40, 15, 20},
};

constexpr SQXLDialogLayout kLayout{
    CQXLAceNextPasscodeDlg::kTemplate, 143, 76, kQXTextCaption, kControls, std::size(kControls)};

} // namespace

const SQXLDialogLayout& CQXLAceNextPasscodeDlg::Layout() const { return kLayout; }

SQXLDialogVerdict CQXLAceNextPasscodeDlg::OnOk(QXLEditTexts& edits) {
    const std::wstring passcode = EditText(edits, kEditPasscode);
    // An empty edit stays as it is; the other refusals empty it for the next try.
    if (passcode.empty())
        return {false, kTextEnterPasscode};
    if (passcode.size() < kMinimumLength) {
        EmptyEdits(edits, {kEditPasscode});
        return {false, kTextPasscodeLength};
    }
    if (!QXLAllDecimalDigits(passcode)) {
        EmptyEdits(edits, {kEditPasscode});
        return {false, kTextPasscodeDigits};
    }
    m_newPasscode = passcode;
    return {true, 0};
}
