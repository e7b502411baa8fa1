#include "support/InProcessTransport.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

using qxplat::HttpError;
using qxplat::HttpStep;

bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// The host of "scheme://host[:port]/...".
std::wstring HostOf(const std::wstring& url) {
    const std::size_t start = url.find(L"://") == std::wstring::npos ? 0 : url.find(L"://") + 3;
    return url.substr(start, url.find_first_of(L":/", start) - start);
}

class Request : public qxplat::HttpRequest {
public:
    Request(InProcessTransport& transport, InProcessRequest request,
            qxplat::HttpReceiveObserver* observer)
        : m_transport(transport), m_request(std::move(request)), m_observer(observer) {}

    void SetTimeouts(unsigned long, unsigned long) override {}
    void SetMinimumRate(unsigned long, unsigned long) override {}
    void SetStop(std::shared_ptr<const qxplat::HttpStop> stop) override { m_stop = stop; }
    void SetProxyUserName(const std::wstring& name) override { m_request.proxyUserName = name; }
    void SetProxyPassword(const std::wstring& word) override { m_request.proxyPassword = word; }
    bool ReadProxyUserName(std::wstring& value, HttpError&) override {
        value = m_request.proxyUserName;
        return true;
    }
    bool ReadProxyPassword(std::wstring& value, HttpError&) override {
        value = m_request.proxyPassword;
        return true;
    }
    void IgnoreUnknownCa() override { m_ignoreUnknownCa = true; }
    void TrustAuthorities(const std::wstring&) override {}

    bool Send(std::string_view body, unsigned long& lastError) override {
        m_request.body.assign(body.data(), body.size());
        m_chunk = 0;
        m_offset = 0;
        m_reply = InProcessReply{0, {}, {}, InProcessFailure::None};
        if (m_stop && m_stop->IsStopped()) {
            lastError = InProcessErrorCode(InProcessFailure::Stopped);
            return false;
        }
        if (m_observer != nullptr)
            m_observer->RequestSent();
        const InProcessReply reply = m_transport.Exchange(m_request);
        const InProcessFailure failure = reply.failure;
        if (failure != InProcessFailure::None && failure != InProcessFailure::CutBody &&
            !(failure == InProcessFailure::Certificate && m_ignoreUnknownCa)) {
            lastError = InProcessErrorCode(failure);
            return false;
        }
        m_reply = reply;
        lastError = 0;
        return true;
    }

    qxplat::HttpDialogAnswer DialogStep(qxplat::HttpPrompt* prompt,
                                        unsigned long lastError) override {
        if (prompt == nullptr)
            return qxplat::HttpDialogAnswer::Done;
        if (lastError == InProcessErrorCode(InProcessFailure::Certificate)) {
            if (!prompt->AcceptCertificate(lastError, qxplat::HttpCertificate()))
                return qxplat::HttpDialogAnswer::Done;
            m_ignoreUnknownCa = true;
            return qxplat::HttpDialogAnswer::Resend;
        }
        if (lastError != 0 || m_reply.status != 407 ||
            !prompt->AskProxyCredentials(m_request.proxyUserName, m_request.proxyPassword))
            return qxplat::HttpDialogAnswer::Done;
        return qxplat::HttpDialogAnswer::Retry;
    }
    std::wstring FailureDetail() const override { return {}; }
    bool ServerCertificate(qxplat::HttpCertificate&) const override { return false; }

    bool StatusText(std::wstring& text, HttpError& error) override {
        text = m_reply.status > 0 ? std::to_wstring(m_reply.status) : std::wstring();
        error = {HttpStep::StatusCode, 0};
        return m_reply.status > 0;
    }
    bool ResponseHeader(const std::string& name, std::string& value) override {
        for (const auto& [header, text] : m_reply.headers) {
            if (SameName(header, name)) {
                value = text;
                return true;
            }
        }
        value.clear();
        return false;
    }
    bool Read(char* buffer, std::size_t capacity, std::size_t& received,
              HttpError& error) override {
        received = 0;
        if (m_chunk == m_reply.chunks.size()) {
            if (m_reply.failure != InProcessFailure::CutBody)
                return true;
            error = {HttpStep::ReadBody, InProcessErrorCode(InProcessFailure::CutBody)};
            return false;
        }
        const std::string& chunk = m_reply.chunks[m_chunk];
        received = std::min(capacity, chunk.size() - m_offset);
        std::memcpy(buffer, chunk.data() + m_offset, received);
        m_offset += received;
        if (m_offset == chunk.size()) {
            ++m_chunk;
            m_offset = 0;
        }
        if (m_observer != nullptr)
            m_observer->BytesReceived(static_cast<unsigned long>(received));
        return true;
    }

private:
    InProcessTransport& m_transport;
    InProcessRequest m_request;
    qxplat::HttpReceiveObserver* m_observer;
    std::shared_ptr<const qxplat::HttpStop> m_stop;
    bool m_ignoreUnknownCa = false;
    InProcessReply m_reply;
    std::size_t m_chunk = 0;
    std::size_t m_offset = 0;
};

class Connection : public qxplat::HttpConnection {
public:
    Connection(InProcessTransport& transport, InProcessRequest target,
               qxplat::HttpReceiveObserver* observer)
        : m_transport(transport), m_target(std::move(target)), m_observer(observer) {}

    std::unique_ptr<qxplat::HttpRequest> OpenRequest(const std::wstring& verb,
                                                     const std::wstring& object, bool secure, bool,
                                                     HttpError&) override {
        InProcessRequest request = m_target;
        request.verb = verb;
        request.object = object;
        request.secure = secure;
        return std::make_unique<Request>(m_transport, std::move(request), m_observer);
    }

private:
    InProcessTransport& m_transport;
    InProcessRequest m_target;
    qxplat::HttpReceiveObserver* m_observer;
};

class Session : public qxplat::HttpSession {
public:
    explicit Session(InProcessTransport& transport) : m_transport(transport) {}

    bool WatchReceivedBytes(qxplat::HttpReceiveObserver& observer, HttpError&) override {
        m_observer = &observer;
        return true;
    }
    std::unique_ptr<qxplat::HttpConnection> Connect(const std::wstring& host, unsigned short port,
                                                    bool, HttpError&) override {
        InProcessRequest target;
        target.host = host;
        target.port = port;
        return std::make_unique<Connection>(m_transport, std::move(target), m_observer);
    }

private:
    InProcessTransport& m_transport;
    qxplat::HttpReceiveObserver* m_observer = nullptr;
};

} // namespace

InProcessReply InProcessAnswer(int status, const std::string& body) {
    return InProcessReply{status, {}, {body}, InProcessFailure::None};
}

std::unique_ptr<qxplat::HttpSession> InProcessTransport::Open(const std::wstring&, HttpError&) {
    return std::make_unique<Session>(*this);
}

bool InProcessTransport::CookiesForUrl(const std::wstring& url, std::string& cookies,
                                       HttpError& error) {
    std::lock_guard<std::mutex> lock(m_lock);
    cookies.clear();
    for (const auto& [name, value] : m_cookies[HostOf(url)])
        cookies += (cookies.empty() ? "" : "; ") + name + "=" + value;
    error = {HttpStep::FindCookie, 0};
    return !cookies.empty();
}

void InProcessTransport::ForgetCookie(const std::wstring& url, const std::string& name) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_cookies[HostOf(url)].erase(name);
}

std::vector<InProcessRequest> InProcessTransport::Sent() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_sent;
}

InProcessReply InProcessTransport::Exchange(InProcessRequest request) {
    std::lock_guard<std::mutex> lock(m_lock);
    std::map<std::string, std::string>& jar = m_cookies[request.host];
    for (const auto& [name, value] : jar)
        request.cookies += (request.cookies.empty() ? "" : "; ") + name + "=" + value;
    m_sent.push_back(request);
    InProcessReply reply = m_handler(request);
    for (const auto& [header, text] : reply.headers) {
        const std::string pair = text.substr(0, text.find(';'));
        if (SameName(header, "Set-Cookie") && pair.find('=') != std::string::npos)
            jar[pair.substr(0, pair.find('='))] = pair.substr(pair.find('=') + 1);
    }
    return reply;
}
