#pragma once

#include <string>
#include <string_view>

// A service's form body: name=value pairs joined by "&", in the order they are added.
// Values go as they are except for the characters that would change the body's meaning
// ("%", "&", "=", "+", "#" and control characters), which are percent-encoded, so that a
// password holding "&" still arrives whole.
class CQXLFormBody {
public:
    CQXLFormBody& Add(std::wstring_view name, std::wstring_view value);

    // The body to send.
    const std::wstring& Text() const { return m_text; }
    // The body for the log: the values of password fields are written as "***".
    const std::wstring& LogText() const { return m_logText; }

private:
    std::wstring m_text;
    std::wstring m_logText;
};

// Whether a form field carries a secret that must never reach the log.
bool QXLIsSecretField(std::wstring_view name);
