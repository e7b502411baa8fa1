#include <algorithm>
#include <chrono>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <vector>
#include <windows.h>
#include <wininet.h>

#include "platform/SystemHttp.h"
#include "platform/Text.h"
#include "platform/TransferRate.h"
#include "platform/win32/AuthorityFile.h"
#include "platform/win32/InternetCallThread.h"
#include "platform/win32/StatusRelay.h"

// WinINet behind the transport, with the handles, flags and options the launcher's client has
// always used. The calls that wait for the server (send and read) run on the request's own
// thread while the caller watches for a stop and for a reply that comes in too slowly; a call
// given up on holds its handles, and the session's status relay, until WinINet returns. The
// context value of connections and requests is that relay, so that the status callback finds
// it.
namespace qxplat {

namespace {

struct InternetCloser {
    void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

constexpr DWORD kDialogFlags = FLAGS_ERROR_UI_FILTER_FOR_ERRORS |
                               FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                               FLAGS_ERROR_UI_FLAGS_GENERATE_DATA;
// No request follows a redirect: it would carry the login to wherever the reply points, also
// to another host or from HTTPS to plain HTTP. A 3xx is a failed attempt.
constexpr DWORD kNoRedirect = INTERNET_FLAG_NO_AUTO_REDIRECT;
constexpr DWORD kPlainFlags =
    INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION | kNoRedirect;
constexpr DWORD kIgnoreNameAndDate =
    INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;
constexpr DWORD kStatusProxyAuthRequired = 407;
// Each read hands at least this much to the request's thread: handing a call over costs far
// more than copying, and small reads would pay it for every piece.
constexpr std::size_t kReadAhead = 64 * 1024;

using Clock = std::chrono::steady_clock;

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                       DWORD length) {
    auto* relay = reinterpret_cast<StatusRelay*>(context);
    if (relay == nullptr)
        return;
    if (status == INTERNET_STATUS_REQUEST_SENT)
        relay->Sent();
    else if (status == INTERNET_STATUS_RESPONSE_RECEIVED && information != nullptr &&
             length >= sizeof(DWORD))
        relay->Received(*static_cast<const DWORD*>(information));
}

// The handles, each closed by the last of the objects and calls that hold it; a child's
// handle closes before its parent's.
struct SessionHandles {
    StatusRelay relay;
    InternetHandle handle;
};

struct ConnectionHandles {
    std::shared_ptr<SessionHandles> session;
    InternetHandle handle;
    std::wstring server; // "host:port"
};

// A request's handle and what a call on its thread reads and writes.
struct RequestHandles {
    std::shared_ptr<ConnectionHandles> connection;
    InternetHandle handle;
    std::wstring header;
    std::string body;
    std::vector<char> buffer; // the last read's bytes, served from offset on
    std::size_t offset = 0;
    BOOL result = FALSE;
    DWORD count = 0;
    DWORD error = 0;
};

void SendCall(RequestHandles& r) {
    if (r.body.empty())
        r.result = HttpSendRequestW(r.handle.get(), nullptr, 0, nullptr, 0);
    else
        r.result = HttpSendRequestW(r.handle.get(), r.header.c_str(), static_cast<DWORD>(-1),
                                    r.body.data(), static_cast<DWORD>(r.body.size()));
    r.error = GetLastError();
}

void ReadCall(RequestHandles& r) {
    r.count = 0;
    r.result = InternetReadFile(r.handle.get(), r.buffer.data(),
                                static_cast<DWORD>(r.buffer.size()), &r.count);
    r.error = GetLastError();
}

void SetTextOption(HINTERNET handle, DWORD option, const std::wstring& value) {
    InternetSetOptionW(handle, option, const_cast<wchar_t*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
}

// Reads a text option into value: learn the size, then read. A failure to learn the size
// keeps value; a failed read empties it.
bool ReadTextOption(HINTERNET handle, DWORD option, std::wstring& value, DWORD& error) {
    DWORD size = 0;
    if (!InternetQueryOptionW(handle, option, nullptr, &size)) {
        error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER)
            return false;
        SetLastError(ERROR_SUCCESS);
    }
    if (size == 0) {
        value.clear();
        return true;
    }
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (!InternetQueryOptionW(handle, option, buffer.data(), &size)) {
        error = GetLastError();
        value.clear();
        return false;
    }
    value = buffer.data();
    return true;
}

void AddSecurityFlags(HINTERNET handle, DWORD added) {
    DWORD flags = 0;
    DWORD size = sizeof flags;
    InternetQueryOptionW(handle, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size);
    flags |= added;
    InternetSetOptionW(handle, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
}

DWORD SecurityFlagFor(DWORD error) {
    switch (error) {
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
        return SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        return SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
    default:
        return SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    }
}

// The length the reply announced; false when it announced none.
bool ContentLength(HINTERNET request, unsigned long long& length) {
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr))
        return false;
    length = std::wcstoull(text, nullptr, 10);
    return true;
}

DWORD StatusCode(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                   nullptr);
    return status;
}

// The dialog step answered by the launcher's prompt instead of WinINet's dialogs, with the
// same effect on the request and the same return values as InternetErrorDlg.
// WinINet's own limits (six connections a server, four a proxy) would keep files fetched side
// by side waiting for each other's connections. They hold for the whole process.
void RaiseConnectionLimits() {
    static std::once_flag once;
    std::call_once(once, [] {
        DWORD limit = kHttpConnectionsPerServer;
        for (const DWORD option :
             {INTERNET_OPTION_MAX_CONNS_PER_SERVER, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER,
              INTERNET_OPTION_MAX_CONNS_PER_PROXY})
            InternetSetOptionW(nullptr, option, &limit, sizeof limit);
    });
}

DWORD AskPrompt(HINTERNET request, HttpPrompt& prompt, DWORD lastError) {
    if (IsCertificateError(lastError)) {
        if (!prompt.AcceptCertificate(lastError, HttpCertificate()))
            return ERROR_CANCELLED;
        AddSecurityFlags(request, SecurityFlagFor(lastError));
        return ERROR_SUCCESS;
    }
    if (lastError != ERROR_SUCCESS || StatusCode(request) != kStatusProxyAuthRequired)
        return ERROR_SUCCESS;
    std::wstring userName;
    std::wstring password;
    DWORD ignored = 0;
    ReadTextOption(request, INTERNET_OPTION_PROXY_USERNAME, userName, ignored);
    ReadTextOption(request, INTERNET_OPTION_PROXY_PASSWORD, password, ignored);
    if (!prompt.AskProxyCredentials(userName, password))
        return ERROR_CANCELLED;
    SetTextOption(request, INTERNET_OPTION_PROXY_USERNAME, userName);
    SetTextOption(request, INTERNET_OPTION_PROXY_PASSWORD, password);
    return ERROR_INTERNET_FORCE_RETRY;
}

} // namespace

bool IsTimeoutError(unsigned long error) {
    return error == ERROR_INTERNET_TIMEOUT || error == WSAETIMEDOUT;
}

bool IsStoppedError(unsigned long error) { return error == ERROR_INTERNET_OPERATION_CANCELLED; }

bool IsCertificateError(unsigned long error) {
    return error == ERROR_INTERNET_SEC_CERT_DATE_INVALID ||
           error == ERROR_INTERNET_SEC_CERT_CN_INVALID || error == ERROR_INTERNET_INVALID_CA;
}

struct SystemHttpSession::Impl {
    std::shared_ptr<SessionHandles> handles;
    HttpReceiveObserver* observer = nullptr;

    HINTERNET Handle() const { return handles->handle.get(); }
};

struct SystemHttpConnection::Impl {
    std::shared_ptr<ConnectionHandles> handles;
    HttpReceiveObserver* observer = nullptr;

    HINTERNET Handle() const { return handles->handle.get(); }
};

struct SystemHttpRequest::Impl {
    std::shared_ptr<RequestHandles> handles;
    HttpReceiveObserver* observer = nullptr;
    unsigned long long bodyBytes = 0;
    TransferRate rate;
    std::shared_ptr<const HttpStop> stop;
    bool givenUp = false;
    std::shared_ptr<const AuthoritySet> authorities;
    bool authoritiesTried = false;
    // Last: a thread still in a call given up on must not take the handles with it here.
    InternetCallThread calls;

    Impl() { rate.SetMinimum(kHttpMinimumBytesPerSecond, kHttpMinimumRateWindowMs); }

    HINTERNET Handle() const { return handles->handle.get(); }
    StatusRelay& Relay() const { return handles->connection->session->relay; }
    bool Stopped() const { return stop && stop->IsStopped(); }
    bool Call(void (*call)(RequestHandles&), DWORD& error);
};

// Runs call on the request's thread and waits for it, the observer hearing of its progress
// meanwhile. False, with error, when a stop or a reply too slow for the minimum rate ended
// the wait first; the request is then of no further use.
bool SystemHttpRequest::Impl::Call(void (*call)(RequestHandles&), DWORD& error) {
    if (givenUp || Stopped()) {
        error = givenUp ? ERROR_INTERNET_TIMEOUT : ERROR_INTERNET_OPERATION_CANCELLED;
        return false;
    }
    StatusRelay& relay = Relay();
    relay.StartCall();
    const bool returned = calls.Run([held = handles, call] { call(*held); },
                                    [&] {
                                        relay.Drain(observer, rate);
                                        if (Stopped())
                                            error = ERROR_INTERNET_OPERATION_CANCELLED;
                                        else if (rate.TooSlow(Clock::now()))
                                            error = ERROR_INTERNET_TIMEOUT;
                                        else
                                            return true;
                                        return false;
                                    });
    if (!returned) {
        givenUp = true;
        relay.Forget();
        SetLastError(error);
        return false;
    }
    relay.Drain(observer, rate);
    return true;
}

SystemHttpRequest::SystemHttpRequest(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
SystemHttpRequest::~SystemHttpRequest() = default;

void SystemHttpRequest::SetTimeouts(unsigned long connectMs, unsigned long receiveMs) {
    DWORD connect = connectMs;
    DWORD receive = receiveMs;
    InternetSetOptionW(m_impl->Handle(), INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionW(m_impl->Handle(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
}

void SystemHttpRequest::SetMinimumRate(unsigned long bytesPerSecond, unsigned long windowMs) {
    m_impl->rate.SetMinimum(bytesPerSecond, windowMs);
}

void SystemHttpRequest::SetStop(std::shared_ptr<const HttpStop> stop) {
    m_impl->stop = std::move(stop);
}

void SystemHttpRequest::SetProxyUserName(const std::wstring& userName) {
    SetTextOption(m_impl->Handle(), INTERNET_OPTION_PROXY_USERNAME, userName);
}

void SystemHttpRequest::SetProxyPassword(const std::wstring& password) {
    SetTextOption(m_impl->Handle(), INTERNET_OPTION_PROXY_PASSWORD, password);
}

bool SystemHttpRequest::ReadProxyUserName(std::wstring& value, HttpError& error) {
    DWORD code = 0;
    if (ReadTextOption(m_impl->Handle(), INTERNET_OPTION_PROXY_USERNAME, value, code))
        return true;
    error = {HttpStep::ReadProxyUserName, code};
    return false;
}

bool SystemHttpRequest::ReadProxyPassword(std::wstring& value, HttpError& error) {
    DWORD code = 0;
    if (ReadTextOption(m_impl->Handle(), INTERNET_OPTION_PROXY_PASSWORD, value, code))
        return true;
    error = {HttpStep::ReadProxyPassword, code};
    return false;
}

void SystemHttpRequest::IgnoreUnknownCa() {
    AddSecurityFlags(m_impl->Handle(), SECURITY_FLAG_IGNORE_UNKNOWN_CA);
}

void SystemHttpRequest::TrustAuthorities(const std::wstring& pemFile) {
    m_impl->authorities = pemFile.empty() ? nullptr : LoadAuthorities(pemFile);
}

bool SystemHttpRequest::Send(std::string_view body, unsigned long& lastError) {
    static const std::wstring header(kFormContentType,
                                     kFormContentType + sizeof kFormContentType - 1);
    Impl& r = *m_impl;
    // Copies: a call given up on may still read them.
    r.handles->header = header;
    r.handles->body.assign(body.data(), body.size());
    r.bodyBytes = 0;
    r.handles->offset = r.handles->count = 0;
    r.rate.Restart(Clock::now());
    DWORD error = 0;
    const std::wstring& server = r.handles->connection->server;
    if (r.authorities && IsMarkedServer(server, ServerMark::Refused)) {
        r.authoritiesTried = true;
        lastError = ERROR_INTERNET_INVALID_CA;
        SetLastError(lastError);
        return false;
    }
    if (!r.Call(SendCall, error)) {
        lastError = error;
        return false;
    }
    lastError = r.handles->error;
    if (r.handles->result != FALSE && r.authorities &&
        IsMarkedServer(server, ServerMark::Vouched) &&
        !RequestLeadsToAuthority(r.Handle(), *r.authorities)) {
        // What answered is not what the bundle vouched for: its reply is not read.
        MarkServer(server, ServerMark::Refused);
        lastError = ERROR_INTERNET_INVALID_CA;
        SetLastError(lastError);
        return false;
    }
    SetLastError(r.handles->error);
    return r.handles->result != FALSE;
}

HttpDialogAnswer SystemHttpRequest::DialogStep(HttpPrompt* prompt, unsigned long lastError) {
    // A send given up on may still be using the handle; a stopped one has no question.
    if (m_impl->givenUp || IsStoppedError(lastError))
        return HttpDialogAnswer::Done;
    HINTERNET request = m_impl->Handle();
    // WinINet knows the system's authorities only: the site's own are checked here, once.
    if (lastError == ERROR_INTERNET_INVALID_CA && m_impl->authorities &&
        !m_impl->authoritiesTried) {
        m_impl->authoritiesTried = true;
        DWORD flags = 0;
        DWORD size = sizeof flags;
        InternetQueryOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size);
        if (ServerLeadsToAuthority(m_impl->handles->connection->handle.get(), flags,
                                   *m_impl->authorities)) {
            // A company's authority seldom publishes revocation lists: without this, the
            // system's check of them would refuse what the bundle vouched for.
            AddSecurityFlags(request,
                             SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_REVOCATION);
            MarkServer(m_impl->handles->connection->server, ServerMark::Vouched);
            return HttpDialogAnswer::Resend;
        }
        MarkServer(m_impl->handles->connection->server, ServerMark::Refused);
    }
    const DWORD answer = prompt == nullptr ? InternetErrorDlg(GetDesktopWindow(), request,
                                                              lastError, kDialogFlags, nullptr)
                                           : AskPrompt(request, *prompt, lastError);
    if (answer == ERROR_INTERNET_FORCE_RETRY)
        return HttpDialogAnswer::Retry;
    if (answer == ERROR_SUCCESS && IsCertificateError(lastError))
        return HttpDialogAnswer::Resend;
    return HttpDialogAnswer::Done;
}

bool SystemHttpRequest::ServerCertificate(HttpCertificate& certificate) const {
    certificate = HttpCertificate();
    return !m_impl->givenUp && DescribeServerCertificate(m_impl->Handle(), certificate);
}

// WinINet has no words beyond its codes.
std::wstring SystemHttpRequest::FailureDetail() const { return {}; }

bool SystemHttpRequest::StatusText(std::wstring& text, HttpError& error) {
    text.clear();
    if (m_impl->givenUp) {
        error = {HttpStep::StatusCode, ERROR_INTERNET_TIMEOUT};
        return false;
    }
    wchar_t buffer[4] = {};
    DWORD size = sizeof buffer;
    const bool read =
        HttpQueryInfoW(m_impl->Handle(), HTTP_QUERY_STATUS_CODE, buffer, &size, nullptr);
    if (!read)
        error = {HttpStep::StatusCode, GetLastError()};
    text = buffer;
    return read;
}

bool SystemHttpRequest::Read(char* buffer, std::size_t capacity, std::size_t& received,
                             HttpError& error) {
    Impl& r = *m_impl;
    RequestHandles& held = *r.handles;
    received = 0;
    if (capacity == 0)
        return true;
    if (held.offset == held.count) {
        // The call reads into the request's own buffer: one given up on may still write to it.
        held.buffer.resize(std::min<std::size_t>(std::max(capacity, kReadAhead), MAXDWORD));
        held.offset = held.count = 0;
        DWORD failure = 0;
        if (!r.Call(ReadCall, failure)) {
            error = {HttpStep::ReadBody, failure};
            return false;
        }
        if (!held.result) {
            held.count = 0;
            SetLastError(held.error);
            error = {HttpStep::ReadBody, held.error};
            return false;
        }
        // WinINet reports the pieces of a read but its last one; that one counts here.
        const unsigned long long reported = r.Relay().CallBytes();
        if (held.count > reported)
            r.rate.Add(held.count - reported);
    }
    const std::size_t count = std::min<std::size_t>(capacity, held.count - held.offset);
    // WinINet ends the data quietly when the server closes the connection early; a body
    // shorter than announced is a failed read, not a complete one.
    unsigned long long announced = 0;
    if (count == 0 && ContentLength(r.Handle(), announced) && r.bodyBytes < announced) {
        SetLastError(ERROR_INTERNET_CONNECTION_RESET);
        error = {HttpStep::ReadBody, ERROR_INTERNET_CONNECTION_RESET};
        return false;
    }
    std::memcpy(buffer, held.buffer.data() + held.offset, count);
    held.offset += count;
    r.bodyBytes += count;
    received = count;
    return true;
}

SystemHttpConnection::SystemHttpConnection(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
SystemHttpConnection::~SystemHttpConnection() = default;

std::unique_ptr<HttpRequest>
SystemHttpConnection::OpenRequest(const std::wstring& verb, const std::wstring& object, bool secure,
                                  bool ignoreCertNameAndDate, HttpError& error) {
    DWORD flags = kPlainFlags;
    if (secure)
        flags =
            INTERNET_FLAG_SECURE | kNoRedirect | (ignoreCertNameAndDate ? kIgnoreNameAndDate : 0);
    const DWORD_PTR relay = reinterpret_cast<DWORD_PTR>(&m_impl->handles->session->relay);
    InternetHandle handle(HttpOpenRequestW(m_impl->Handle(), verb.c_str(), object.c_str(), nullptr,
                                           nullptr, nullptr, flags, relay));
    if (!handle) {
        error = {HttpStep::OpenRequest, GetLastError()};
        return nullptr;
    }
    auto impl = std::make_unique<SystemHttpRequest::Impl>();
    impl->handles = std::make_shared<RequestHandles>();
    impl->handles->connection = m_impl->handles;
    impl->handles->handle = std::move(handle);
    impl->observer = m_impl->observer;
    return std::make_unique<SystemHttpRequest>(std::move(impl));
}

SystemHttpSession::SystemHttpSession(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
SystemHttpSession::~SystemHttpSession() = default;

std::unique_ptr<HttpSession> SystemHttpSession::Open(const std::wstring& agent, HttpError& error) {
    RaiseConnectionLimits();
    InternetHandle handle(
        InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!handle) {
        error = {HttpStep::OpenSession, GetLastError()};
        return nullptr;
    }
    // Always watched, for the reply's rate; the observer is optional.
    InternetSetStatusCallbackW(handle.get(), OnStatus);
    auto impl = std::make_unique<Impl>();
    impl->handles = std::make_shared<SessionHandles>();
    impl->handles->handle = std::move(handle);
    return std::make_unique<SystemHttpSession>(std::move(impl));
}

bool SystemHttpSession::WatchReceivedBytes(HttpReceiveObserver& observer, HttpError& error) {
    if (InternetSetStatusCallbackW(m_impl->Handle(), OnStatus) ==
        INTERNET_INVALID_STATUS_CALLBACK) {
        error = {HttpStep::WatchBytes, GetLastError()};
        return false;
    }
    m_impl->observer = &observer;
    return true;
}

std::unique_ptr<HttpConnection> SystemHttpSession::Connect(const std::wstring& host,
                                                           unsigned short port, bool secure,
                                                           HttpError& error) {
    InternetHandle handle(InternetConnectW(m_impl->Handle(), host.c_str(), port, nullptr, nullptr,
                                           INTERNET_SERVICE_HTTP, secure ? INTERNET_FLAG_SECURE : 0,
                                           reinterpret_cast<DWORD_PTR>(&m_impl->handles->relay)));
    if (!handle) {
        error = {HttpStep::Connect, GetLastError()};
        return nullptr;
    }
    auto impl = std::make_unique<SystemHttpConnection::Impl>();
    impl->handles = std::make_shared<ConnectionHandles>();
    impl->handles->session = m_impl->handles;
    impl->handles->handle = std::move(handle);
    impl->handles->server = host + L":" + std::to_wstring(port);
    impl->observer = m_impl->observer;
    return std::make_unique<SystemHttpConnection>(std::move(impl));
}

// Reply headers for callers that check them (the signature of a signed reply). WinINet
// takes the header's name in the buffer that receives its value.
bool SystemHttpRequest::ResponseHeader(const std::string& name, std::string& value) {
    value.clear();
    if (m_impl->givenUp)
        return false;
    std::vector<char> buffer(std::max<std::size_t>(name.size() + 1, 256));
    for (;;) {
        std::copy(name.begin(), name.end(), buffer.begin());
        buffer[name.size()] = '\0';
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD index = 0;
        if (HttpQueryInfoA(m_impl->Handle(), HTTP_QUERY_CUSTOM, buffer.data(), &size, &index)) {
            value.assign(buffer.data(), size);
            break;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= buffer.size())
            return false;
        buffer.resize(size + 1);
    }
    const std::size_t first = value.find_first_not_of(" \t");
    const std::size_t last = value.find_last_not_of(" \t\r\n");
    value = first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
    return true;
}

} // namespace qxplat
