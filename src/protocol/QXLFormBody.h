#pragma once

#include <string>
#include <string_view>

// A service's form body: name=value pairs joined by "&", in the order they are added. Values
// go exactly as the caller built them, nothing escaped, since the server reads them raw. A
// value holding "&" would split its field: such a body is not to be sent (SplitField).
class CQXLFormBody {
public:
    CQXLFormBody& Add(std::wstring_view name, std::wstring_view value);

    // The body to send.
    const std::wstring& Text() const { return m_text; }
    // The body for the log: the values of password fields are written as "***".
    const std::wstring& LogText() const { return m_logText; }
    // The name of the first field whose value holds "&"; empty when every field is whole.
    const std::wstring& SplitField() const { return m_splitField; }

private:
    std::wstring m_text;
    std::wstring m_logText;
    std::wstring m_splitField;
};

// Whether a form field carries a secret that must never reach the log.
bool QXLIsSecretField(std::wstring_view name);
