#pragma once

#include <string>

#include "ui/QXLCredentialDlg.h"

// The login dialog (template 131): the login and password that the user typed or that the
// command line handed over. They persist across showings until Clear.
class CQXLAuthenDlg : public CQXLCredentialDlg {
public:
    static constexpr int kTemplate = 131;
    static constexpr int kEditLogin = 105;
    static constexpr int kEditPassword = 112;

    explicit CQXLAuthenDlg(QXLanguageBase languageBase) : CQXLCredentialDlg(languageBase) {}

    const std::wstring& GetLogin() const { return m_login; }
    void SetLogin(const std::wstring& login) { m_login = login; }
    const std::wstring& GetPassword() const { return m_password; }
    void SetPassword(const std::wstring& password) { m_password = password; }
    // Forgets both, so that the next showing starts from nothing.
    void Clear();

    const SQXLDialogLayout& Layout() const override;
    // Empty login: text 2. Empty password: text 3 (the login is already stored).
    SQXLDialogVerdict OnOk(QXLEditTexts& edits) override;

private:
    std::wstring m_login;
    std::wstring m_password;
};
