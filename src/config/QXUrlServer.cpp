#include "config/QXUrlServer.h"

#include <climits>

#include "base/QXText.h"

namespace {

constexpr std::wstring_view kSchemeEnd = L"://";
constexpr int kSecurePort = 443;

// The leading decimal digits of text as a number, 0 without any; too large a number stops
// at INT_MAX rather than wrapping.
int LeadingNumber(std::wstring_view text) {
    long long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            break;
        value = value * 10 + (c - L'0');
        if (value > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(value);
}

} // namespace

void CQXUrlServer::SetUrl(const std::wstring& text) {
    m_url = text;
    if (QXEqualsNoCase(std::wstring_view(text).substr(0, 5), L"https"))
        m_secure = 1;

    const std::size_t scheme = text.find(kSchemeEnd);
    if (scheme == std::wstring::npos || scheme + kSchemeEnd.size() >= text.size())
        return;
    std::wstring work = text;
    const std::size_t hostStart = scheme + kSchemeEnd.size();
    std::size_t slash = work.find(L'/', hostStart);
    if (slash == std::wstring::npos) {
        slash = work.size();
        work.push_back(L'/');
    }

    std::wstring host = work.substr(hostStart, slash - hostStart);
    const std::size_t colon = host.find(L':');
    if (!host.empty() && colon != std::wstring::npos) {
        m_port = LeadingNumber(std::wstring_view(host).substr(colon + 1));
        host.resize(colon);
    } else if (m_secure) {
        m_port = kSecurePort;
    }
    m_host = host;
    m_path = work.substr(slash);
}
