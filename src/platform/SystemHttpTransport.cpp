#include "platform/SystemHttp.h"

namespace qxplat {

namespace {

class SystemTransport final : public HttpTransport {
public:
    std::unique_ptr<HttpSession> Open(const std::wstring& agent, HttpError& error) override {
        return SystemHttpSession::Open(agent, error);
    }
    bool CookiesForUrl(const std::wstring& url, std::string& cookies, HttpError& error) override {
        return SystemCookiesForUrl(url, cookies, error);
    }
    void ForgetCookie(const std::wstring& url, const std::string& name) override {
        SystemForgetCookie(url, name);
    }
};

} // namespace

HttpTransport& SystemHttpTransport() {
    static SystemTransport transport;
    return transport;
}

} // namespace qxplat
