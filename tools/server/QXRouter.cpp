#include "QXRouter.h"

#include <cctype>
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "QXRefusal.h"
#include "QXStorage.h"
#include "QXWireText.h"
#include "protocol/QXLReplySignature.h"

namespace {

// What the current request's reply means for the access log, handed from the handler to the
// logger, which cpp-httplib calls on the same thread once the answer is written.
struct Outcome {
    std::string user;
    int refusal = 0;
    bool throttled = false;
    std::string groups;
};
thread_local Outcome t_outcome;

// The test clock moves by at most a century at a time: its sums must not overflow.
constexpr long long kMaxAdvance = 100LL * 366 * 86400;

// An open file descriptor, closed with its last owner (the content provider may outlive the
// handler).
class CFileHandle {
public:
    explicit CFileHandle(int fd) : m_fd(fd) {}
    ~CFileHandle() {
        if (m_fd >= 0)
            close(m_fd);
    }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

constexpr std::size_t kBlock = 256 * 1024;

// Streams [offset, offset + length) of the content, ending the connection once `limit` body
// bytes have gone out (a cut fault); limit is the whole size otherwise.
using Reader = std::function<bool(std::size_t offset, char* buffer, std::size_t length)>;

httplib::ContentProvider Provider(Reader reader, std::size_t limit) {
    return [reader = std::move(reader), limit](std::size_t offset, std::size_t length,
                                               httplib::DataSink& sink) {
        if (offset >= limit)
            return false;
        const std::size_t count = std::min({length, kBlock, limit - offset});
        std::string buffer(count, '\0');
        if (!reader(offset, buffer.data(), count))
            return false;
        return sink.write(buffer.data(), count);
    };
}

bool FromLoopback(const httplib::Request& request) {
    return request.remote_addr == "127.0.0.1" || request.remote_addr == "::1";
}

void PlainText(httplib::Response& response, int status, const std::string& text) {
    response.status = status;
    response.set_content(text, "text/plain");
}

// A path as a URI path: every byte but unreserved characters and '/' as %XX.
std::string UriPath(const std::string& path) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string uri;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 15];
        }
    }
    return uri;
}

} // namespace

CQXRouter::CQXRouter(const Options& options, CQXLoginServices& login, CQXAppServices& apps,
                     CQXFaultInjector& faults, CQXClock& clock, CQXAccessLog& log)
    : m_options(options), m_faults(faults), m_clock(clock), m_log(log) {
    using F = const CQXForm&;
    using A = const SCaller&;
    m_services = {
        {"P3Login", [&login](F f, A a) { return login.Login(f, a.address); }},
        {"P3SSO", [&login](F f, A a) { return login.SingleSignOn(f, a.vouched); }},
        {"ChangePassword", [&login](F f, A a) { return login.ChangePassword(f, a.address); }},
        {"ExtendSession", [&login](F f, A) { return login.ExtendSession(f); }},
        {"Logout", [&login](F f, A) { return login.Logout(f); }},
        {"GetAppInf", [&apps](F f, A) { return apps.ApplicationInfo(f); }},
        {"GetAppVersionList", [&apps](F f, A) { return apps.VersionList(f); }},
        {"GetAppPrimary", [&apps](F f, A) { return apps.Primary(f); }},
        {"GetAppChecksum", [&apps](F f, A) { return apps.Checksums(f); }},
        {"GetAppFile", [&apps](F f, A) { return apps.File(f); }},
        {"GetAppZippedFiles", [&apps](F f, A) { return apps.ZippedFiles(f); }},
        {"GetAppFileDelta", [&apps](F f, A) { return apps.FileDelta(f); }},
        {"AppUpdateDone", [&apps](F f, A) { return apps.UpdateDone(f); }},
        {"AppUpdateFailed", [&apps](F f, A) { return apps.UpdateFailed(f); }},
    };
}

void CQXRouter::Attach(httplib::Server& server) {
    server.set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
        t_outcome = Outcome();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.Post(".*", [this](const httplib::Request& request, httplib::Response& response) {
        Handle(request, response);
    });
    server.set_exception_handler(
        [this](const httplib::Request&, httplib::Response& response, std::exception_ptr error) {
            std::string what = "unknown error";
            try {
                std::rethrow_exception(error);
            } catch (const CQXDatabaseError& e) {
                // Another server may reach the database: a front fails over on 503.
                m_log.Error(std::string("database: ") + e.what());
                PlainText(response, 503, "Database unavailable\n");
                return;
            } catch (const std::exception& e) {
                what = e.what();
            } catch (...) {
            }
            m_log.Error(what);
            PlainText(response, 500, "Internal server error\n");
        });
    server.set_logger([this](const httplib::Request& request, const httplib::Response& response) {
        SQXAccessEntry entry;
        entry.address = ClientAddress(request);
        entry.method = request.method;
        entry.path = request.path;
        entry.status = response.status;
        const std::string size = response.get_header_value("Content-Length");
        entry.size = size.empty() ? response.body.size() : std::stoull(size);
        entry.user = t_outcome.user;
        entry.refusal = t_outcome.refusal;
        entry.throttled = t_outcome.throttled;
        entry.groups = t_outcome.groups;
        m_log.Write(entry);
    });
}

void CQXRouter::Handle(const httplib::Request& request, httplib::Response& response) {
    if (m_options.testFaults && HandleControl(request, response))
        return;
    const CQXForm form(request.body);
    if (form.HasNul()) {
        PlainText(response, 400, "Form values must not hold NUL bytes\n");
        return;
    }
    const std::string& base = m_options.basePath;
    const auto service = request.path.compare(0, base.size(), base) == 0
                             ? m_services.find(request.path.substr(base.size()))
                             : m_services.end();
    if (service == m_services.end()) {
        Write(CQXRefusal::Make(404, EQXRefusal::UnknownService, form.Get("lang")), std::nullopt,
              form.Get("lang"), response);
        return;
    }
    std::optional<SQXFault> fault;
    if (m_options.testFaults)
        fault = m_faults.Take(service->first);
    if (fault && fault->kind == SQXFault::Kind::Stall)
        m_faults.Stall(std::chrono::milliseconds(fault->value));
    if (fault && fault->kind == SQXFault::Kind::Status) {
        SQXReply reply;
        reply.status = static_cast<int>(fault->value);
        reply.body = "Injected fault\n";
        Write(reply, std::nullopt, form.Get("lang"), response);
        return;
    }
    SQXReply reply = service->second(form, Caller(form, request));
    if (!reply.error.empty())
        m_log.Error(reply.error);
    if (m_options.signer != nullptr) {
        // The signature covers the body's bytes as they go out.
        QXReplyToWire(reply, form.Get("lang"));
        m_options.signer->Sign(service->first, form, reply, m_clock.Now());
    }
    Write(std::move(reply), fault, form.Get("lang"), response);
}

bool CQXRouter::HandleControl(const httplib::Request& request, httplib::Response& response) {
    if (!FromLoopback(request) || (request.path != "/_faults" && request.path != "/_clock"))
        return false;
    const CQXForm form(request.body);
    if (request.path == "/_clock") {
        long long seconds = 0;
        try {
            seconds = std::stoll(form.Get("advance"));
        } catch (const std::exception&) {
            seconds = kMaxAdvance + 1;
        }
        if (seconds < -kMaxAdvance || seconds > kMaxAdvance) {
            PlainText(response, 400, "advance must be a number of seconds, at most a century\n");
            return true;
        }
        m_clock.Advance(seconds);
        PlainText(response, 200, "OK\n");
        return true;
    }
    const std::string error =
        m_faults.Instruct(form.Get("service"), form.Get("count"), form.Get("status"),
                          form.Get("stall"), form.Get("cut"));
    PlainText(response, error.empty() ? 200 : 400, error.empty() ? "OK\n" : error + "\n");
    return true;
}

void CQXRouter::Write(SQXReply reply, const std::optional<SQXFault>& fault, const std::string& lang,
                      httplib::Response& response) {
    t_outcome = {reply.user, reply.refusal, reply.throttled, reply.groups};
    QXReplyToWire(reply, lang);
    response.status = reply.status;
    if (!reply.sessionId.empty()) {
        // The path keeps its last '/': some cookie stores match paths as plain prefixes, and
        // "/qx" would also cover "/qxother/". No HttpOnly: the launcher reads the session id
        // from its cookie store (InternetGetCookie), which leaves HttpOnly cookies out.
        response.set_header("Set-Cookie", "SessionId=" + reply.sessionId +
                                              "; Path=" + m_options.basePath +
                                              (m_options.secure ? "; Secure" : ""));
    }
    if (!reply.signature.empty())
        response.set_header(kQXLSignatureHeader, reply.signature);
    if (!reply.legacySignature.empty())
        response.set_header(kQXLegacySignatureHeader, reply.legacySignature);
    const bool cut = fault && fault->kind == SQXFault::Kind::Cut;
    if (reply.file.empty()) {
        if (!cut) {
            response.set_content(reply.body, reply.contentType);
            return;
        }
        auto body = std::make_shared<std::string>(std::move(reply.body));
        Reader reader = [body](std::size_t offset, char* buffer, std::size_t length) {
            body->copy(buffer, length, offset);
            return true;
        };
        response.set_content_provider(body->size(), reply.contentType,
                                      Provider(reader, static_cast<std::size_t>(fault->value)));
        return;
    }
    if (!m_options.accelPrefix.empty() && !fault && HandOver(reply, response))
        return;
    auto file = std::make_shared<CFileHandle>(open(reply.file.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (file->Get() < 0 || fstat(file->Get(), &info) != 0) {
        Write(CQXRefusal::Make(404, EQXRefusal::UnknownFile, lang), std::nullopt, lang, response);
        return;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size == 0 && !cut) {
        response.set_content(std::string(), reply.contentType);
        return;
    }
    Reader reader = [file](std::size_t offset, char* buffer, std::size_t length) {
        std::size_t done = 0;
        while (done < length) {
            const ssize_t got =
                pread(file->Get(), buffer + done, length - done, static_cast<off_t>(offset + done));
            if (got <= 0)
                return false; // the file shrank or failed: end the connection early
            done += static_cast<std::size_t>(got);
        }
        return true;
    };
    response.set_content_provider(
        size, reply.contentType,
        Provider(reader, cut ? static_cast<std::size_t>(fault->value) : size));
}

bool CQXRouter::HandOver(const SQXReply& reply, httplib::Response& response) {
    const std::filesystem::path relative = reply.file.lexically_relative(m_options.accelRoot);
    if (relative.empty() || *relative.begin() == "..")
        return false;
    response.set_header("X-Accel-Redirect",
                        m_options.accelPrefix + UriPath(relative.generic_string()));
    response.set_content(std::string(), reply.contentType);
    return true;
}

bool CQXRouter::FromFront(const httplib::Request& request) const {
    return m_options.realIpFrom.Contains(request.remote_addr);
}

CQXRouter::SCaller CQXRouter::Caller(const CQXForm& form, const httplib::Request& request) const {
    SCaller caller{ClientAddress(request), std::nullopt};
    if (m_options.ssoUnvouched)
        caller.vouched = form.Get("user");
    else if (!m_options.ssoUserHeader.empty() && FromFront(request))
        caller.vouched = request.get_header_value(m_options.ssoUserHeader.c_str());
    return caller;
}

std::string CQXRouter::ClientAddress(const httplib::Request& request) const {
    if (!FromFront(request))
        return request.remote_addr;
    // A header that is not one address is the front's fault: its own address stands then.
    return QXCanonicalAddress(request.get_header_value("X-Real-IP")).value_or(request.remote_addr);
}
