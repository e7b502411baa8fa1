#pragma once

#include <memory>
#include <string>

#include "platform/HttpTransport.h"

// The system's side of the transport, for the platform's own files: the session, connection
// and request that the system's transport hands out, each implemented by win32/ (WinINet) or
// posix/ (libcurl), and the process's cookie store that every request shares.
namespace qxplat {

class SystemHttpRequest final : public HttpRequest {
public:
    struct Impl;
    explicit SystemHttpRequest(std::unique_ptr<Impl> impl);
    ~SystemHttpRequest() override;

    void SetTimeouts(unsigned long connectMs, unsigned long receiveMs) override;
    void SetMinimumRate(unsigned long bytesPerSecond, unsigned long windowMs) override;
    void SetStop(std::shared_ptr<const HttpStop> stop) override;
    void SetProxyUserName(const std::wstring& userName) override;
    void SetProxyPassword(const std::wstring& password) override;
    bool ReadProxyUserName(std::wstring& value, HttpError& error) override;
    bool ReadProxyPassword(std::wstring& value, HttpError& error) override;
    void IgnoreUnknownCa() override;
    void TrustAuthorities(const std::wstring& pemFile) override;
    bool Send(std::string_view body, unsigned long& lastError) override;
    HttpDialogAnswer DialogStep(HttpPrompt* prompt, unsigned long lastError) override;
    std::wstring FailureDetail() const override;
    bool ServerCertificate(HttpCertificate& certificate) const override;
    bool StatusText(std::wstring& text, HttpError& error) override;
    bool ResponseHeader(const std::string& name, std::string& value) override;
    bool Read(char* buffer, std::size_t capacity, std::size_t& received, HttpError& error) override;

private:
    std::unique_ptr<Impl> m_impl;
};

class SystemHttpConnection final : public HttpConnection {
public:
    struct Impl;
    explicit SystemHttpConnection(std::unique_ptr<Impl> impl);
    ~SystemHttpConnection() override;

    std::unique_ptr<HttpRequest> OpenRequest(const std::wstring& verb, const std::wstring& object,
                                             bool secure, bool ignoreCertNameAndDate,
                                             HttpError& error) override;

private:
    std::unique_ptr<Impl> m_impl;
};

class SystemHttpSession final : public HttpSession {
public:
    struct Impl;
    explicit SystemHttpSession(std::unique_ptr<Impl> impl);
    ~SystemHttpSession() override;

    // As HttpTransport::Open tells.
    static std::unique_ptr<HttpSession> Open(const std::wstring& agent, HttpError& error);

    bool WatchReceivedBytes(HttpReceiveObserver& observer, HttpError& error) override;
    std::unique_ptr<HttpConnection> Connect(const std::wstring& host, unsigned short port,
                                            bool secure, HttpError& error) override;

private:
    std::unique_ptr<Impl> m_impl;
};

// The process's cookie store, as HttpTransport::CookiesForUrl and ForgetCookie tell.
bool SystemCookiesForUrl(const std::wstring& url, std::string& cookies, HttpError& error);
void SystemForgetCookie(const std::wstring& url, const std::string& name);

} // namespace qxplat
