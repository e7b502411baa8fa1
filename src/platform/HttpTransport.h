#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// The HTTP transport under the launcher's client: one session, connection and request at a
// time, each step reported on its own so that the caller can log it. WinINet on Windows,
// libcurl on Linux, behind interfaces so that tests can answer in the process. Every object
// here closes what it holds when destroyed; a request must not outlive its connection, nor a
// connection its session. Objects are used by one thread at a time; different threads may use
// different sessions at once.
namespace qxplat {

// The step that failed. The caller turns it into its own error line.
enum class HttpStep {
    OpenSession,
    WatchBytes,
    Connect,
    OpenRequest,
    Send,
    ReadProxyUserName,
    ReadProxyPassword,
    StatusCode,
    ReadBody,
    FindCookie,
    ReadCookie,
};

// A failed step and the system's error code at that moment (GetLastError on Windows, the
// CURLcode on Linux).
struct HttpError {
    HttpStep step = HttpStep::OpenSession;
    unsigned long code = 0;
};

// What the caller does after the dialog step that follows every send.
enum class HttpDialogAnswer {
    Retry,  // the user gave proxy credentials: read them back and send again
    Resend, // the user accepted a certificate problem: send again
    Done,   // nothing more to do: look at the send's result
};

// The server certificate a question is about, as the user reads it. Fields the system does
// not tell are empty (WinINet's own dialogs show it on Windows).
struct HttpCertificate {
    std::wstring subject;
    std::wstring issuer;
    std::wstring notBefore; // "2026-12-07 19:37:22 UTC"
    std::wstring notAfter;
    std::wstring sha256; // the fingerprint of its DER form: 32 hex pairs joined by colons
};

// The user's side of the dialog step, implemented by the launcher's user interface (and by a
// script in tests). Called on the sending thread, inside HttpRequest::DialogStep.
class HttpPrompt {
public:
    virtual ~HttpPrompt() = default;
    // A proxy refused the request for want of credentials (status 407), asked again after
    // each refusal. userName and password come in holding what the request carried. True with
    // both filled in sends again with them; false lets the refusal stand.
    virtual bool AskProxyCredentials(std::wstring& userName, std::wstring& password) = 0;
    // The server's certificate failed a check (error is the send's error code). True accepts
    // it and sends again: on Windows that problem for this request, on Linux that exact
    // certificate for this request and every later one of the process.
    virtual bool AcceptCertificate(unsigned long error, const HttpCertificate& certificate) = 0;
};

// Told about the bytes of replies as they arrive; set on a session with WatchReceivedBytes.
// Called on the thread that runs Send or Read, inside those calls.
class HttpReceiveObserver {
public:
    virtual ~HttpReceiveObserver() = default;
    // A request went out: the count of its reply starts again.
    virtual void RequestSent() = 0;
    // count more bytes of the reply (headers included) came in from the network.
    virtual void BytesReceived(unsigned long count) = 0;
};

// Ends the requests that carry it, from any thread: once stopped, a request that waits for its
// server gives up within about 50 ms, also while the server is silent or drips, and fails with
// an error that IsStoppedError tells. A request started afterwards fails at once.
class HttpStop {
public:
    void Stop() { m_stopped = true; }
    bool IsStopped() const { return m_stopped; }

private:
    std::atomic<bool> m_stopped{false};
};

// The slowest a transfer may be: fewer bytes than this per second over a whole window is a
// time-out, however often single bytes arrive.
inline constexpr unsigned long kHttpMinimumBytesPerSecond = 1024;
inline constexpr unsigned long kHttpMinimumRateWindowMs = 30000;

// Connections the system's HTTP stack may hold to one server or proxy at once: room for every
// file of an update fetched side by side, beside the run's own requests.
inline constexpr unsigned long kHttpConnectionsPerServer = 24;

// The header line sent with every non-empty body.
inline constexpr char kFormContentType[] = "Content-Type:application/x-www-form-urlencoded";

// True when error (an HttpError code) means that the server went silent past the time-out.
bool IsTimeoutError(unsigned long error);
// True when error means that the request's HttpStop ended it.
bool IsStoppedError(unsigned long error);
// True when error means that the server's certificate failed a check.
bool IsCertificateError(unsigned long error);

// One request on a connection, made by HttpConnection::OpenRequest. Must not outlive its
// connection.
class HttpRequest {
public:
    virtual ~HttpRequest() = default;

    // Time-outs for connecting and for each wait for reply bytes, in milliseconds.
    virtual void SetTimeouts(unsigned long connectMs, unsigned long receiveMs) = 0;
    // A reply (headers and body alike) that brings fewer than bytesPerSecond over any window of
    // windowMs from the send on fails as a time-out (IsTimeoutError), in the step where it
    // lingers. kHttpMinimumBytesPerSecond over kHttpMinimumRateWindowMs unless set.
    virtual void SetMinimumRate(unsigned long bytesPerSecond, unsigned long windowMs) = 0;
    // Ends the request's waits once stop is stopped. Shared, as a wait given up may leave the
    // system's call running a while longer.
    virtual void SetStop(std::shared_ptr<const HttpStop> stop) = 0;
    // Proxy credentials sent with this request (every send, not only after a 407).
    virtual void SetProxyUserName(const std::wstring& userName) = 0;
    virtual void SetProxyPassword(const std::wstring& password) = 0;
    // Reads the request's proxy credentials back into value (after a Retry answer). On failure
    // value is kept when the size could not be learnt, emptied when the read itself failed.
    virtual bool ReadProxyUserName(std::wstring& value, HttpError& error) = 0;
    virtual bool ReadProxyPassword(std::wstring& value, HttpError& error) = 0;
    // Adds "unknown certificate authority" to the checks this request skips.
    virtual void IgnoreUnknownCa() = 0;
    // Trusts the authorities of the PEM bundle at pemFile besides the system's (none when
    // empty). A bundle that cannot be read adds none (ReadAuthorityFile says why).
    virtual void TrustAuthorities(const std::wstring& pemFile) = 0;

    // Sends the request (again, after a dialog step): a non-empty body goes with
    // kFormContentType, an empty one with no body and no content type. Returns once the
    // reply's status and headers are in; any status, a proxy's 407 too, is a successful send
    // (libcurl fails the send when the proxy refuses a secure request's tunnel).
    // lastError receives the system's error code after the send, also after a successful one.
    virtual bool Send(std::string_view body, unsigned long& lastError) = 0;
    // The dialog step after a send, given the send's lastError. prompt answers proxy and
    // certificate questions; null leaves them to the system's own dialogs (WinINet's, owned
    // by the desktop window, on Windows; none on Linux, where the answer is then Done).
    virtual HttpDialogAnswer DialogStep(HttpPrompt* prompt, unsigned long lastError) = 0;
    // The system's own words for the last failed Send or Read (libcurl's message on Linux,
    // such as why a certificate was refused); empty when it says nothing more than the code.
    virtual std::wstring FailureDetail() const = 0;

    // The certificate the server presented to the last send that passed the checks (subject,
    // issuer, dates, fingerprint); false when the request is not secure or none is known.
    virtual bool ServerCertificate(HttpCertificate& certificate) const = 0;
    // The reply's status code as text, at most three characters ("200").
    virtual bool StatusText(std::wstring& text, HttpError& error) = 0;
    // The value of the reply's header called name (ASCII, any letter case) once the send is
    // done, blanks around it removed; false when the reply has none. A repeated header gives
    // its first value.
    virtual bool ResponseHeader(const std::string& name, std::string& value) = 0;
    // Reads up to capacity bytes of the reply body into buffer (WinINet fills it unless the
    // body ends). received is 0 at the end of the body; a body that ends before its announced
    // length fails. Only a bounded part of the body is ever held in memory.
    virtual bool Read(char* buffer, std::size_t capacity, std::size_t& received,
                      HttpError& error) = 0;
};

// A connection to one server, made by HttpSession::Connect. Must not outlive its session.
class HttpConnection {
public:
    virtual ~HttpConnection() = default;

    // Opens a request for verb and object (the path on the server). secure: HTTPS, with
    // ignoreCertNameAndDate skipping the certificate's name and date checks. Non-secure
    // requests are not cached and keep their connection.
    virtual std::unique_ptr<HttpRequest> OpenRequest(const std::wstring& verb,
                                                     const std::wstring& object, bool secure,
                                                     bool ignoreCertNameAndDate,
                                                     HttpError& error) = 0;
};

// A session of one agent, made by HttpTransport::Open.
class HttpSession {
public:
    virtual ~HttpSession() = default;

    // Reports the bytes of every reply of the connections opened afterwards to observer,
    // which must outlive the session.
    virtual bool WatchReceivedBytes(HttpReceiveObserver& observer, HttpError& error) = 0;

    // A connection to host and port; secure marks an HTTPS server.
    virtual std::unique_ptr<HttpConnection> Connect(const std::wstring& host, unsigned short port,
                                                    bool secure, HttpError& error) = 0;
};

// Where sessions come from, and the cookie store their replies fill. The system's transport
// serves the launcher; tests hand the client another one. Its calls may come from several
// threads at once.
class HttpTransport {
public:
    virtual ~HttpTransport() = default;

    // Opens a session for agent with the system's proxy settings (Internet settings on
    // Windows, http_proxy and friends from the environment on Linux).
    virtual std::unique_ptr<HttpSession> Open(const std::wstring& agent, HttpError& error) = 0;

    // The cookies for url as one text "name=value; name=value", in the platform's 8-bit
    // text. The cookie store is shared by every session of the transport and outlives them.
    // Fails with FindCookie when there is no cookie for url.
    virtual bool CookiesForUrl(const std::wstring& url, std::string& cookies, HttpError& error) = 0;

    // Forgets the cookies called name (8-bit text) that apply to url, so that a later look-up
    // finds only one that a newer reply has set. Nothing happens when there is none.
    virtual void ForgetCookie(const std::wstring& url, const std::string& name) = 0;
};

// The system's transport (WinINet on Windows, libcurl on Linux), whose cookie store is the
// process's. Lives as long as the process.
HttpTransport& SystemHttpTransport();

} // namespace qxplat
