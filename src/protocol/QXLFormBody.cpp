#include "protocol/QXLFormBody.h"

bool QXLIsSecretField(std::wstring_view name) {
    return name == L"password" || name == L"confirmpassword" || name == L"oldpassword" ||
           name == L"oldPasscode";
}

CQXLFormBody& CQXLFormBody::Add(std::wstring_view name, std::wstring_view value) {
    for (std::wstring* text : {&m_text, &m_logText}) {
        if (!text->empty())
            text->push_back(L'&');
        text->append(name).push_back(L'=');
    }
    m_text.append(value);
    m_logText.append(QXLIsSecretField(name) ? std::wstring_view(L"***") : value);
    if (m_splitField.empty() && value.find(L'&') != std::wstring_view::npos)
        m_splitField.assign(name);
    return *this;
}
