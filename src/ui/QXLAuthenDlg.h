#pragma once

#include <string>

#include "ui/QXLanguage.h"

// The login dialog's model: the login and password that the user typed or that the command
// line handed over. Owned by the launcher context for the whole run; used by the worker thread.
class CQXLAuthenDlg {
public:
    explicit CQXLAuthenDlg(QXLanguageBase languageBase);
    virtual ~CQXLAuthenDlg() = default;

    CQXLAuthenDlg(const CQXLAuthenDlg&) = delete;
    CQXLAuthenDlg& operator=(const CQXLAuthenDlg&) = delete;

    const std::wstring& GetLogin() const { return m_login; }
    void SetLogin(const std::wstring& login) { m_login = login; }
    const std::wstring& GetPassword() const { return m_password; }
    void SetPassword(const std::wstring& password) { m_password = password; }

    QXLanguageBase GetLanguageBase() const { return m_languageBase; }

private:
    std::wstring m_login;
    std::wstring m_password;
    QXLanguageBase m_languageBase;
};
