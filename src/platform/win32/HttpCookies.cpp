#include <string>
#include <vector>
#include <windows.h>
#include <wininet.h>

#include "platform/SystemHttp.h"
#include "platform/Text.h"

namespace qxplat {

bool SystemCookiesForUrl(const std::wstring& url, std::string& cookies, HttpError& error) {
    const std::string narrowUrl = ToNarrow(url);
    cookies.clear();
    DWORD size = 0;
    InternetGetCookieA(narrowUrl.c_str(), nullptr, nullptr, &size);
    if (size == 0) {
        error = {HttpStep::FindCookie, GetLastError()};
        return false;
    }
    std::vector<char> buffer(size + 1, '\0');
    if (!InternetGetCookieA(narrowUrl.c_str(), nullptr, buffer.data(), &size)) {
        error = {HttpStep::ReadCookie, GetLastError()};
        return false;
    }
    cookies = buffer.data();
    return true;
}

// A cookie set again with an expiry in the past is removed from the store.
void SystemForgetCookie(const std::wstring& url, const std::string& name) {
    const std::string narrowUrl = ToNarrow(url);
    InternetSetCookieA(narrowUrl.c_str(), name.c_str(),
                       "forgotten; expires=Sat, 01-Jan-2000 00:00:00 GMT");
}

} // namespace qxplat
