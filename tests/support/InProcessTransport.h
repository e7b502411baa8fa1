#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/HttpTransport.h"

// A transport answered in the test's own process: each request sent goes to a handler, whose
// reply (or failure) the client then reads through the usual interfaces. For tests of the
// client's own logic: proxies, certificates, time-outs, stops and received-byte reports are
// the system's transport's, tested against real peers.

// What a request carried when it was sent.
struct InProcessRequest {
    std::wstring verb;
    std::wstring host;
    unsigned short port = 0;
    std::wstring object; // the path on the server, query included
    std::string body;
    std::string cookies; // what the transport holds for the host, "name=value; name=value"
};

// Where an exchange fails instead of being answered, each with the platform's error code.
enum class InProcessFailure {
    None,
    RefusedConnect, // the send fails: nothing listens
    TimeOut,        // the send fails: the server stays silent
    Certificate,    // the send fails unless the request skips the unknown-authority check
    CutBody,        // the body's chunks come, then the read fails
};

struct InProcessReply {
    int status = 200;
    // A "Set-Cookie" header ("name=value; ...") sets a cookie of the request's host.
    std::vector<std::pair<std::string, std::string>> headers;
    // The body, at most one chunk per read.
    std::vector<std::string> chunks;
    InProcessFailure failure = InProcessFailure::None;
};

// A reply of status whose body comes in one chunk; a failure at a step.
InProcessReply InProcessAnswer(int status, const std::string& body);
InProcessReply InProcessFailing(InProcessFailure failure);

// The platform's error code of failure, as the system's transport reports it.
unsigned long InProcessErrorCode(InProcessFailure failure);

class InProcessTransport : public qxplat::HttpTransport {
public:
    using Handler = std::function<InProcessReply(const InProcessRequest&)>;
    // handler answers every request, one at a time, whatever thread sends it.
    explicit InProcessTransport(Handler handler) : m_handler(std::move(handler)) {}

    std::unique_ptr<qxplat::HttpSession> Open(const std::wstring& agent,
                                              qxplat::HttpError& error) override;
    bool CookiesForUrl(const std::wstring& url, std::string& cookies,
                       qxplat::HttpError& error) override;
    void ForgetCookie(const std::wstring& url, const std::string& name) override;

    // Every request sent so far, in order.
    std::vector<InProcessRequest> Sent() const;
    // Records request with the host's cookies, asks the handler and keeps the cookies that
    // its reply sets.
    InProcessReply Exchange(InProcessRequest request);

private:
    Handler m_handler;
    mutable std::mutex m_lock;
    std::vector<InProcessRequest> m_sent;
    std::map<std::wstring, std::map<std::string, std::string>> m_cookies; // by host, by name
};
