#include "support/InProcessTransport.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

using qxplat::HttpError;

bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// The host of "scheme://host[:port]/...".
std::wstring HostOf(const std::wstring& url) {
    const std::size_t scheme = url.find(L"://");
    const std::size_t start = scheme == std::wstring::npos ? 0 : scheme + 3;
    return url.substr(start, url.find_first_of(L":/", start) - start);
}

std::string CookieText(const std::map<std::string, std::string>& jar) {
    std::string text;
    for (const auto& [name, value] : jar)
        text += (text.empty() ? "" : "; ") + name + "=" + value;
    return text;
}

class Request final : public qxplat::HttpRequest {
public:
    Request(InProcessTransport& transport, InProcessRequest request)
        : m_transport(transport), m_request(std::move(request)) {}

    void SetTimeouts(unsigned long, unsigned long) override {}
    void SetMinimumRate(unsigned long, unsigned long) override {}
    void SetStop(std::shared_ptr<const qxplat::HttpStop>) override {}
    void SetProxyUserName(const std::wstring&) override {}
    void SetProxyPassword(const std::wstring&) override {}
    bool ReadProxyUserName(std::wstring& value, HttpError&) override { return Empty(value); }
    bool ReadProxyPassword(std::wstring& value, HttpError&) override { return Empty(value); }
    void IgnoreUnknownCa() override { m_lenient = true; }
    void TrustAuthorities(const std::wstring&) override {}
    qxplat::HttpDialogAnswer DialogStep(qxplat::HttpPrompt*, unsigned long) override {
        return qxplat::HttpDialogAnswer::Done;
    }
    std::wstring FailureDetail() const override { return {}; }
    bool ServerCertificate(qxplat::HttpCertificate&) const override { return false; }

    bool Send(std::string_view body, unsigned long& lastError) override {
        m_request.body.assign(body.data(), body.size());
        m_reply = m_transport.Exchange(m_request);
        m_chunk = m_offset = 0;
        const InProcessFailure failure = m_reply.failure;
        const bool fails = failure != InProcessFailure::None &&
                           failure != InProcessFailure::CutBody &&
                           !(failure == InProcessFailure::Certificate && m_lenient);
        lastError = fails ? InProcessErrorCode(failure) : 0;
        return !fails;
    }
    bool StatusText(std::wstring& text, HttpError&) override {
        text = std::to_wstring(m_reply.status);
        return true;
    }
    bool ResponseHeader(const std::string& name, std::string& value) override {
        const auto& headers = m_reply.headers;
        const auto found = std::find_if(headers.begin(), headers.end(), [&](const auto& header) {
            return SameName(header.first, name);
        });
        value = found == headers.end() ? std::string() : found->second;
        return found != headers.end();
    }
    bool Read(char* buffer, std::size_t capacity, std::size_t& received,
              HttpError& error) override {
        received = 0;
        if (m_chunk == m_reply.chunks.size()) {
            if (m_reply.failure != InProcessFailure::CutBody)
                return true;
            error = {qxplat::HttpStep::ReadBody, InProcessErrorCode(InProcessFailure::CutBody)};
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
        return true;
    }

private:
    static bool Empty(std::wstring& value) {
        value.clear();
        return true;
    }

    InProcessTransport& m_transport;
    InProcessRequest m_request;
    bool m_lenient = false;
    InProcessReply m_reply;
    std::size_t m_chunk = 0;
    std::size_t m_offset = 0;
};

class Connection final : public qxplat::HttpConnection {
public:
    Connection(InProcessTransport& transport, const std::wstring& host, unsigned short port)
        : m_transport(transport), m_host(host), m_port(port) {}

    std::unique_ptr<qxplat::HttpRequest> OpenRequest(const std::wstring& verb,
                                                     const std::wstring& object, bool, bool,
                                                     HttpError&) override {
        return std::make_unique<Request>(m_transport,
                                         InProcessRequest{verb, m_host, m_port, object, {}, {}});
    }

private:
    InProcessTransport& m_transport;
    std::wstring m_host;
    unsigned short m_port;
};

class Session final : public qxplat::HttpSession {
public:
    explicit Session(InProcessTransport& transport) : m_transport(transport) {}

    bool WatchReceivedBytes(qxplat::HttpReceiveObserver&, HttpError&) override { return true; }
    std::unique_ptr<qxplat::HttpConnection> Connect(const std::wstring& host, unsigned short port,
                                                    bool, HttpError&) override {
        return std::make_unique<Connection>(m_transport, host, port);
    }

private:
    InProcessTransport& m_transport;
};

} // namespace

InProcessReply InProcessAnswer(int status, const std::string& body) {
    return InProcessReply{status, {}, {body}, InProcessFailure::None};
}

InProcessReply InProcessFailing(InProcessFailure failure) {
    return InProcessReply{0, {}, {}, failure};
}

std::unique_ptr<qxplat::HttpSession> InProcessTransport::Open(const std::wstring&, HttpError&) {
    return std::make_unique<Session>(*this);
}

bool InProcessTransport::CookiesForUrl(const std::wstring& url, std::string& cookies,
                                       HttpError& error) {
    std::lock_guard<std::mutex> lock(m_lock);
    cookies = CookieText(m_cookies[HostOf(url)]);
    error = {qxplat::HttpStep::FindCookie, 0};
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
    request.cookies = CookieText(jar);
    m_sent.push_back(request);
    InProcessReply reply = m_handler(request);
    for (const auto& [header, text] : reply.headers) {
        const std::string pair = text.substr(0, text.find(';'));
        const std::size_t equals = pair.find('=');
        if (SameName(header, "Set-Cookie") && equals != std::string::npos)
            jar[pair.substr(0, equals)] = pair.substr(equals + 1);
    }
    return reply;
}
