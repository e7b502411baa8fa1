#include "protocol/QXLFormBody.h"

namespace {

bool NeedsEncoding(wchar_t c) {
    return c < 0x20 || c == 0x7F || c == L'%' || c == L'&' || c == L'=' || c == L'+' || c == L'#';
}

void AppendEncoded(std::wstring& out, std::wstring_view value) {
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    for (wchar_t c : value) {
        if (!NeedsEncoding(c)) {
            out.push_back(c);
            continue;
        }
        out.push_back(L'%');
        out.push_back(kHex[(c >> 4) & 0xF]);
        out.push_back(kHex[c & 0xF]);
    }
}

} // namespace

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
    AppendEncoded(m_text, value);
    if (QXLIsSecretField(name))
        m_logText.append(L"***");
    else
        AppendEncoded(m_logText, value);
    return *this;
}
