#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/SystemHttp.h"
#include "platform/Text.h"
#include "platform/TransferRate.h"
#include "platform/posix/CertificateCheck.h"
#include "platform/posix/CurlHandles.h"

// libcurl behind the transport. A request is one easy handle driven by a multi handle, so that
// Send can return once the headers are in and Read can take the body piece by piece: the write
// callback keeps at most kHeldBytes and pauses the transfer beyond that. Driving the transfer
// here, in steps of at most kPollMs, is also what lets a stop or a too slow reply end it between
// two steps. The multi handle is the connection's: it keeps the socket for the next request.
namespace qxplat {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kHeldBytes = 64 * 1024;
constexpr int kPollMs = 50;
constexpr long kStatusProxyAuthRequired = 407;

std::string Scheme(bool secure) { return secure ? "https://" : "http://"; }

} // namespace

bool IsTimeoutError(unsigned long error) { return error == CURLE_OPERATION_TIMEDOUT; }

bool IsStoppedError(unsigned long error) { return error == CURLE_ABORTED_BY_CALLBACK; }

bool IsCertificateError(unsigned long error) {
    return error == CURLE_PEER_FAILED_VERIFICATION || error == CURLE_SSL_ISSUER_ERROR;
}

struct SystemHttpSession::Impl {
    std::string agent;
    HttpReceiveObserver* observer = nullptr;
};

struct SystemHttpConnection::Impl {
    const SystemHttpSession::Impl* session = nullptr;
    std::string host;
    unsigned short port = 0;
    // Drives the connection's requests one after the other and keeps what they connected
    // alive for the next, as WinINet keeps a connection's sockets.
    std::shared_ptr<CURLM> multi;
};

struct SystemHttpRequest::Impl {
    CurlEasy easy;
    std::shared_ptr<CURLM> multi; // the connection's
    CurlList headers;
    std::string verb;
    std::string url;
    std::string host;
    bool secure = false;
    std::string agent;
    HttpReceiveObserver* observer = nullptr;
    std::string proxyUserName;
    std::string proxyPassword;
    long connectMs = 30000;
    long receiveMs = 30000;
    bool verifyPeer = true;
    bool verifyHost = true;
    std::wstring authorityFile;
    std::shared_ptr<const HttpStop> stop;
    TransferRate rate;
    CertificateCheck certificate;
    char failure[CURL_ERROR_SIZE] = {};

    // The transfer in progress.
    bool attached = false;
    bool connected = false;
    bool headersDone = false;
    bool finished = false;
    bool paused = false;
    CURLcode result = CURLE_OK;
    std::string held;
    std::size_t heldOffset = 0;
    Clock::time_point lastActivity;

    Impl() { rate.SetMinimum(kHttpMinimumBytesPerSecond, kHttpMinimumRateWindowMs); }
    ~Impl() { Detach(); }

    std::size_t HeldCount() const { return held.size() - heldOffset; }

    void Detach() {
        if (attached)
            curl_multi_remove_handle(multi.get(), easy.get());
        attached = false;
    }

    void Received(std::size_t count) {
        lastActivity = Clock::now();
        rate.Add(count);
        if (observer != nullptr)
            observer->BytesReceived(static_cast<unsigned long>(count));
    }

    void Finish(CURLcode code) {
        finished = true;
        result = code;
        Detach();
    }

    void Configure(std::string_view body);
    bool Drive(bool (*enough)(const Impl&));
    void CollectResult();
    void CheckIdle();
    bool Stopped() const { return stop && stop->IsStopped(); }
};

namespace {

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto& request = *static_cast<SystemHttpRequest::Impl*>(user);
    const std::size_t length = size * count;
    request.Received(length);
    // A blank line ends a header block; informational (1xx) blocks are followed by another.
    if (length <= 2 && (data[0] == '\r' || data[0] == '\n')) {
        long status = 0;
        curl_easy_getinfo(request.easy.get(), CURLINFO_RESPONSE_CODE, &status);
        if (status >= 200)
            request.headersDone = true;
    }
    return length;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto& request = *static_cast<SystemHttpRequest::Impl*>(user);
    const std::size_t length = size * count;
    if (request.HeldCount() >= kHeldBytes) {
        request.paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    request.held.erase(0, request.heldOffset);
    request.heldOffset = 0;
    request.held.append(data, length);
    request.headersDone = true;
    request.Received(length);
    return length;
}

bool HeadersIn(const SystemHttpRequest::Impl& request) { return request.headersDone; }
bool BodyBytesHeld(const SystemHttpRequest::Impl& request) { return request.HeldCount() > 0; }

} // namespace

void SystemHttpRequest::Impl::Configure(std::string_view body) {
    CURL* h = easy.get();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    // Never follow a redirect (the default, said here as it matters): a 3xx is a failed attempt.
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, verb == "POST" ? nullptr : verb.c_str());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(h, CURLOPT_COPYPOSTFIELDS, std::string(body).c_str());
    // An empty body goes without a content type; curl would add its own otherwise.
    headers.reset(curl_slist_append(nullptr, body.empty() ? "Content-Type:" : kFormContentType));
    curl_slist_append(headers.get(), "Expect:");
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, verifyPeer ? 1L : 0L);
    // A verified peer gets the check that knows the certificates the user accepted; it checks
    // the host name as well, so that an accepted certificate passes that check too.
    const bool ownCheck = secure && verifyPeer;
    certificate = CertificateCheck();
    certificate.host = verifyHost ? host : std::string();
    if (ownCheck && !authorityFile.empty())
        certificate.authorities = LoadAuthorities(authorityFile);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, verifyHost && !ownCheck ? 2L : 0L);
    curl_easy_setopt(h, CURLOPT_SSL_CTX_FUNCTION, ownCheck ? InstallCertificateCheck : nullptr);
    curl_easy_setopt(h, CURLOPT_SSL_CTX_DATA, ownCheck ? &certificate : nullptr);
    curl_easy_setopt(h, CURLOPT_PROXYUSERNAME,
                     proxyUserName.empty() ? nullptr : proxyUserName.c_str());
    curl_easy_setopt(h, CURLOPT_PROXYPASSWORD,
                     proxyPassword.empty() ? nullptr : proxyPassword.c_str());
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    failure[0] = '\0';
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, failure);
}

void SystemHttpRequest::Impl::CollectResult() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy.get())
            Finish(message->data.result);
    }
}

// The receive time-out counts from the last byte (or from the connection): a server that
// goes silent that long ends the transfer, as a socket receive time-out would. Until the
// connection is up, curl's connect time-out rules, with this as a backstop.
void SystemHttpRequest::Impl::CheckIdle() {
    if (!connected) {
        curl_off_t pretransfer = 0;
        curl_easy_getinfo(easy.get(), CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
        if (pretransfer > 0) {
            connected = true;
            lastActivity = Clock::now();
        }
    }
    const long limitMs = connected ? receiveMs : connectMs + receiveMs;
    const Clock::time_point now = Clock::now();
    // A reply that trickles in is no better than a silent one.
    if (now - lastActivity >= std::chrono::milliseconds(limitMs) || rate.TooSlow(now))
        Finish(CURLE_OPERATION_TIMEDOUT);
}

// Runs the transfer until enough holds or it ends; false when it ended in failure.
bool SystemHttpRequest::Impl::Drive(bool (*enough)(const Impl&)) {
    lastActivity = Clock::now();
    while (!enough(*this) && !finished) {
        if (Stopped()) {
            Finish(CURLE_ABORTED_BY_CALLBACK);
            break;
        }
        if (paused && HeldCount() < kHeldBytes) {
            paused = false;
            curl_easy_pause(easy.get(), CURLPAUSE_CONT);
            continue;
        }
        int running = 0;
        const CURLMcode code = curl_multi_perform(multi.get(), &running);
        if (code != CURLM_OK) {
            Finish(CURLE_RECV_ERROR);
            break;
        }
        CollectResult();
        if (enough(*this) || finished)
            break;
        CheckIdle();
        if (!finished)
            curl_multi_poll(multi.get(), nullptr, 0, kPollMs, nullptr);
    }
    return !finished || result == CURLE_OK;
}

SystemHttpRequest::SystemHttpRequest(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
SystemHttpRequest::~SystemHttpRequest() = default;

void SystemHttpRequest::SetTimeouts(unsigned long connectMs, unsigned long receiveMs) {
    m_impl->connectMs = static_cast<long>(connectMs);
    m_impl->receiveMs = static_cast<long>(receiveMs);
}

void SystemHttpRequest::SetMinimumRate(unsigned long bytesPerSecond, unsigned long windowMs) {
    m_impl->rate.SetMinimum(bytesPerSecond, windowMs);
}

void SystemHttpRequest::SetStop(std::shared_ptr<const HttpStop> stop) {
    m_impl->stop = std::move(stop);
}

void SystemHttpRequest::SetProxyUserName(const std::wstring& userName) {
    m_impl->proxyUserName = ToNarrow(userName);
}

void SystemHttpRequest::SetProxyPassword(const std::wstring& password) {
    m_impl->proxyPassword = ToNarrow(password);
}

bool SystemHttpRequest::ReadProxyUserName(std::wstring& value, HttpError&) {
    value = FromNarrow(m_impl->proxyUserName);
    return true;
}

bool SystemHttpRequest::ReadProxyPassword(std::wstring& value, HttpError&) {
    value = FromNarrow(m_impl->proxyPassword);
    return true;
}

void SystemHttpRequest::IgnoreUnknownCa() { m_impl->verifyPeer = false; }

void SystemHttpRequest::TrustAuthorities(const std::wstring& pemFile) {
    m_impl->authorityFile = pemFile;
}

bool SystemHttpRequest::Send(std::string_view body, unsigned long& lastError) {
    Impl& r = *m_impl;
    r.Detach();
    r.connected = r.headersDone = r.finished = r.paused = false;
    r.result = CURLE_OK;
    r.held.clear();
    r.heldOffset = 0;
    r.rate.Restart(Clock::now());
    if (r.Stopped()) {
        lastError = CURLE_ABORTED_BY_CALLBACK;
        return false;
    }
    r.Configure(body);
    if (r.observer != nullptr)
        r.observer->RequestSent();
    if (curl_multi_add_handle(r.multi.get(), r.easy.get()) != CURLM_OK) {
        lastError = CURLE_FAILED_INIT;
        return false;
    }
    r.attached = true;
    const bool sent = r.Drive(HeadersIn);
    lastError = sent ? CURLE_OK : r.result;
    return sent;
}

HttpDialogAnswer SystemHttpRequest::DialogStep(HttpPrompt* prompt, unsigned long lastError) {
    if (prompt == nullptr)
        return HttpDialogAnswer::Done;
    if (IsCertificateError(lastError)) {
        // Only a certificate the check has seen can be shown to the user and trusted.
        const CertificateCheck& check = m_impl->certificate;
        if (!check.refused || !prompt->AcceptCertificate(lastError, check.shown))
            return HttpDialogAnswer::Done;
        TrustCertificate(check.fingerprint);
        return HttpDialogAnswer::Resend;
    }
    // A plain request gets the proxy's 407 as its reply; a tunnel's CONNECT fails with it.
    long status = 0;
    long tunnelStatus = 0;
    curl_easy_getinfo(m_impl->easy.get(), CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(m_impl->easy.get(), CURLINFO_HTTP_CONNECTCODE, &tunnelStatus);
    if ((lastError != CURLE_OK || status != kStatusProxyAuthRequired) &&
        tunnelStatus != kStatusProxyAuthRequired)
        return HttpDialogAnswer::Done;
    std::wstring userName = FromNarrow(m_impl->proxyUserName);
    std::wstring password = FromNarrow(m_impl->proxyPassword);
    if (!prompt->AskProxyCredentials(userName, password))
        return HttpDialogAnswer::Done;
    SetProxyUserName(userName);
    SetProxyPassword(password);
    return HttpDialogAnswer::Retry;
}

bool SystemHttpRequest::ServerCertificate(HttpCertificate& certificate) const {
    certificate = m_impl->certificate.presented;
    return !certificate.sha256.empty();
}

std::wstring SystemHttpRequest::FailureDetail() const {
    // The time-out and the stop are decided here, not by curl, whose words would mislead.
    const CURLcode code = m_impl->result;
    if (code == CURLE_OK || IsTimeoutError(code) || IsStoppedError(code))
        return {};
    return FromNarrow(m_impl->failure);
}

bool SystemHttpRequest::StatusText(std::wstring& text, HttpError& error) {
    long status = 0;
    curl_easy_getinfo(m_impl->easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status <= 0 || status > 999) {
        text.clear();
        error = {HttpStep::StatusCode, CURLE_BAD_FUNCTION_ARGUMENT};
        return false;
    }
    text = std::to_wstring(status);
    return true;
}

bool SystemHttpRequest::Read(char* buffer, std::size_t capacity, std::size_t& received,
                             HttpError& error) {
    Impl& r = *m_impl;
    received = 0;
    if (!r.Drive(BodyBytesHeld) && r.HeldCount() == 0) {
        error = {HttpStep::ReadBody, static_cast<unsigned long>(r.result)};
        return false;
    }
    received = std::min(capacity, r.HeldCount());
    std::memcpy(buffer, r.held.data() + r.heldOffset, received);
    r.heldOffset += received;
    return true;
}

SystemHttpConnection::SystemHttpConnection(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
SystemHttpConnection::~SystemHttpConnection() = default;

std::unique_ptr<HttpRequest>
SystemHttpConnection::OpenRequest(const std::wstring& verb, const std::wstring& object, bool secure,
                                  bool ignoreCertNameAndDate, HttpError& error) {
    auto impl = std::make_unique<SystemHttpRequest::Impl>();
    impl->easy = NewCookieSharingEasy();
    impl->multi = m_impl->multi;
    if (!impl->easy || !impl->multi) {
        error = {HttpStep::OpenRequest, CURLE_FAILED_INIT};
        return nullptr;
    }
    impl->verb = ToNarrow(verb);
    impl->url =
        Scheme(secure) + m_impl->host + ":" + std::to_string(m_impl->port) + ToNarrow(object);
    impl->host = m_impl->host;
    impl->secure = secure;
    impl->agent = m_impl->session->agent;
    impl->observer = m_impl->session->observer;
    // curl cannot skip the date check alone; the name check is the one it can drop.
    impl->verifyHost = !(secure && ignoreCertNameAndDate);
    return std::make_unique<SystemHttpRequest>(std::move(impl));
}

SystemHttpSession::SystemHttpSession(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
SystemHttpSession::~SystemHttpSession() = default;

std::unique_ptr<HttpSession> SystemHttpSession::Open(const std::wstring& agent, HttpError&) {
    EnsureCurl();
    auto impl = std::make_unique<Impl>();
    impl->agent = ToNarrow(agent);
    return std::make_unique<SystemHttpSession>(std::move(impl));
}

bool SystemHttpSession::WatchReceivedBytes(HttpReceiveObserver& observer, HttpError&) {
    m_impl->observer = &observer;
    return true;
}

std::unique_ptr<HttpConnection> SystemHttpSession::Connect(const std::wstring& host,
                                                           unsigned short port, bool, HttpError&) {
    auto impl = std::make_unique<SystemHttpConnection::Impl>();
    impl->session = m_impl.get();
    impl->host = ToNarrow(host);
    impl->port = port;
    impl->multi.reset(curl_multi_init(), CurlMultiDeleter());
    return std::make_unique<SystemHttpConnection>(std::move(impl));
}

// Reply headers for callers that check them (the signature of a signed reply).
bool SystemHttpRequest::ResponseHeader(const std::string& name, std::string& value) {
    curl_header* header = nullptr;
    value.clear();
    if (curl_easy_header(m_impl->easy.get(), name.c_str(), 0, CURLH_HEADER, -1, &header) !=
            CURLHE_OK ||
        header == nullptr)
        return false;
    value = header->value;
    const std::size_t first = value.find_first_not_of(" \t");
    const std::size_t last = value.find_last_not_of(" \t\r\n");
    value = first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
    return true;
}

} // namespace qxplat
