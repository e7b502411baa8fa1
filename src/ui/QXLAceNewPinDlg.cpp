#include "ui/QXLAceNewPinDlg.h"

#include <iterator>

namespace {

constexpr unsigned kTextEnterPin = 39;
constexpr unsigned kTextPinLength = 40;
constexpr unsigned kTextPinDigits = 41;
constexpr unsigned kTextPinNotSame = 42;
constexpr std::size_t kPinLength = 4;

// The labels are wider than the edits' left edge once allowed, so that the French ones fit.
constexpr SQXLControl kControls[] = {
    {1008, QXLControlKind::Label, 6, 5, 131, 10, 33},
    {104, QXLControlKind::Label, 6, 18, 76, 12, 34},
    {CQXLAceNewPinDlg::kEditPin, QXLControlKind::PasswordEdit, 83, 18, 54, 12, 0},
    {111, QXLControlKind::Label, 6, 37, 76, 12, 35},
    {CQXLAceNewPinDlg::kEditVerify, QXLControlKind::PasswordEdit, 83, 37, 54, 12, 0},
    {kQXLButtonOk, QXLControlKind::DefaultButton, 22, 57, 40, 15, 19},
    {kQXLButtonCancel, QXLControlKind::Button, 81, 57, 40, 15, 20},
};

constexpr SQXLDialogLayout kLayout{CQXLAceNewPinDlg::kTemplate, 143, 78, kQXTextCaption, kControls,
                                   std::size(kControls)};

// The refusal text for pin and its verification; 0 when both are acceptable.
unsigned PinRefusal(const std::wstring& pin, const std::wstring& verify) {
    if (pin.empty())
        return kTextEnterPin;
    if (pin.size() != kPinLength)
        return kTextPinLength;
    if (!QXLAllDecimalDigits(pin))
        return kTextPinDigits;
    if (verify != pin)
        return kTextPinNotSame;
    return 0;
}

} // namespace

const SQXLDialogLayout& CQXLAceNewPinDlg::Layout() const { return kLayout; }

SQXLDialogVerdict CQXLAceNewPinDlg::OnOk(QXLEditTexts& edits) {
    const std::wstring pin = EditText(edits, kEditPin);
    const unsigned refusal = PinRefusal(pin, EditText(edits, kEditVerify));
    if (refusal != 0) {
        EmptyEdits(edits, {kEditPin, kEditVerify});
        return {false, refusal};
    }
    m_newPin = pin;
    return {true, 0};
}
