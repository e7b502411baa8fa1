#pragma once

#include <string>

#include "ui/QXLCredentialDlg.h"

// The RSA ACE new-PIN dialog (template 136): four decimal digits typed twice.
class CQXLAceNewPinDlg : public CQXLCredentialDlg {
public:
    static constexpr int kTemplate = 136;
    static constexpr int kEditPin = 107;
    static constexpr int kEditVerify = 115;

    explicit CQXLAceNewPinDlg(QXLanguageBase languageBase) : CQXLCredentialDlg(languageBase) {}

    const std::wstring& GetNewPin() const { return m_newPin; }

    const SQXLDialogLayout& Layout() const override;
    // Every refusal empties both fields: empty 39, not 4 characters 40, not digits 41,
    // verification differs 42.
    SQXLDialogVerdict OnOk(QXLEditTexts& edits) override;

private:
    std::wstring m_newPin;
};
