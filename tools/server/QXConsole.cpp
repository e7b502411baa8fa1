#include "QXConsole.h"

#include <map>
#include <openssl/crypto.h>

#include "QXConsoleAssets.h"
#include "QXHtml.h"
#include "QXRollouts.h"

namespace {

const char* const kCookie = "QXAdmin";

const std::map<std::string, std::string> kTitles = {{"fleet", "Fleet"},
                                                    {"rollouts", "Rollouts"},
                                                    {"outcomes", "Update outcomes"},
                                                    {"users", "Users"}};

// The base path as a regular expression matching itself.
std::string RegexQuote(const std::string& text) {
    std::string quoted;
    for (const char c : text) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos)
            quoted += '\\';
        quoted += c;
    }
    return quoted;
}

std::string CookieValue(const httplib::Request& request, const std::string& name) {
    const std::string header = request.get_header_value("Cookie");
    std::size_t start = 0;
    while (start < header.size()) {
        std::size_t end = header.find(';', start);
        if (end == std::string::npos)
            end = header.size();
        std::string piece = header.substr(start, end - start);
        piece.erase(0, piece.find_first_not_of(' '));
        if (piece.compare(0, name.size() + 1, name + "=") == 0)
            return piece.substr(name.size() + 1);
        start = end + 1;
    }
    return std::string();
}

bool SameToken(const std::string& given, const std::string& expected) {
    return !expected.empty() && given.size() == expected.size() &&
           CRYPTO_memcmp(given.data(), expected.data(), given.size()) == 0;
}

// A whole number of a form from 0 to high; fallback when empty, -1 when not such a number
// (which the checks then refuse).
int NumberOf(const std::string& text, int high, int fallback) {
    if (text.empty())
        return fallback;
    if (text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(text) > high)
        return -1;
    return std::stoi(text);
}

void Protect(httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
    response.set_header("X-Frame-Options", "DENY");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Referrer-Policy", "same-origin");
    response.set_header("Content-Security-Policy",
                        "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'; "
                        "form-action 'self'; base-uri 'none'");
}

void Html(httplib::Response& response, int status, const std::string& html) {
    response.status = status;
    response.set_content(html, "text/html; charset=utf-8");
}

bool ChartsBundled() {
    for (const auto& asset : QXConsoleAssets())
        if (asset.name == "uPlot.iife.min.js")
            return true;
    return false;
}

} // namespace

CQXConsole::CQXConsole(const std::string& basePath, bool secure, const CQXRouter& router,
                       CQXAdminStore& admins, CQXLoginThrottle& throttle, CQXConsolePages& pages,
                       IQXStorage& storage, const CQXReleaseStore& releases, const CQXClock& clock)
    : m_base(basePath), m_root(basePath + "admin/"), m_secure(secure), m_router(router),
      m_admins(admins), m_throttle(throttle), m_pages(pages), m_storage(storage),
      m_releases(releases), m_clock(clock) {}

void CQXConsole::Attach(httplib::Server& server) {
    const std::string pattern = RegexQuote(m_base) + "admin(?:/(.*))?";
    server.Get(pattern, [this](const httplib::Request& request, httplib::Response& response) {
        Protect(response);
        Get(request.matches[1], request, response);
    });
    server.Post(pattern, [this](const httplib::Request& request, httplib::Response& response) {
        Protect(response);
        Post(request.matches[1], request, response);
    });
}

void CQXConsole::Get(const std::string& path, const httplib::Request& request,
                     httplib::Response& response) {
    if (path.rfind("static/", 0) == 0) {
        for (const auto& asset : QXConsoleAssets()) {
            if ("static/" + std::string(asset.name) != path)
                continue;
            const bool css = path.size() > 4 && path.compare(path.size() - 4, 4, ".css") == 0;
            response.set_content(std::string(asset.content),
                                 css ? "text/css; charset=utf-8"
                                     : "text/javascript; charset=utf-8");
            return;
        }
    }
    const auto session = Session(request);
    if ((path.empty() || path == "login") && session)
        return Redirect("fleet", response);
    if (path.empty() || (!session && kTitles.count(path) != 0))
        return Redirect("login", response);
    if (path == "login")
        return LoginForm(200, std::string(), response);
    if (!session || !Show(path, *session, request, SOutcome(), response))
        Html(response, 404, "<!doctype html><p>Not found</p>");
}

void CQXConsole::Post(const std::string& path, const httplib::Request& request,
                      httplib::Response& response) {
    if (path == "login")
        return LogIn(request, response);
    const auto session = Session(request);
    if (!session)
        return LoginForm(403, "Log in first.", response);
    if (!SameToken(request.get_param_value("csrf"), session->csrf)) {
        Html(response, 403,
             CQXHtml::Page(m_base, "", "Refused", session->admin, session->csrf,
                           "<p class=\"error\">The form did not come from this console's "
                           "session: reload the page and try again.</p>",
                           false));
        return;
    }
    if (path == "logout") {
        m_admins.Close(CookieValue(request, kCookie));
        m_admins.Audit(session->admin, "logout", std::string());
        response.set_header("Set-Cookie", Cookie(std::string(), request) + "; Max-Age=0");
        return Redirect("login", response);
    }
    Change(path, *session, request, response);
}

void CQXConsole::LogIn(const httplib::Request& request, httplib::Response& response) {
    const std::string name = request.get_param_value("name");
    const std::string address = m_router.ClientAddress(request);
    // Kept apart from the launchers' runs of the same name.
    const std::string key = "console:" + name;
    if (m_throttle.Blocked(key, address))
        return LoginForm(429, "Too many wrong passwords: try again later.", response);
    const auto admin = m_admins.Verify(name, request.get_param_value("password"));
    if (!admin) {
        m_throttle.Failed(key, address);
        return LoginForm(401, "Wrong name or password.", response);
    }
    m_throttle.Succeeded(key, address);
    const auto opened = m_admins.Open(*admin);
    m_admins.Audit(*admin, "login", "from " + address);
    response.set_header("Set-Cookie", Cookie(opened.first, request));
    Redirect("fleet", response);
}

void CQXConsole::Change(const std::string& path, const SQXAdminSession& session,
                        const httplib::Request& request, httplib::Response& response) {
    if (path == "rollouts/start")
        return (void)Show("rollouts", session, request, StartRollout(session, request), response);
    for (const char* action : {"halt", "resume", "percent"})
        if (path == std::string("rollouts/") + action)
            return (void)Show("rollouts", session, request, SteerRollout(action, session, request),
                              response);
    if (path == "users/end-session")
        return (void)Show("users", session, request, EndSession(session, request), response);
    Html(response, 404, "<!doctype html><p>Not found</p>");
}

CQXConsole::SOutcome CQXConsole::StartRollout(const SQXAdminSession& session,
                                              const httplib::Request& request) {
    SQXRollout r;
    r.application = request.get_param_value("app");
    r.version = request.get_param_value("version");
    r.groups = SplitGroups(request.get_param_value("groups"));
    r.percent = NumberOf(request.get_param_value("start-percent"), 100, 0);
    r.haltPercent = NumberOf(request.get_param_value("halt"), 100, 0);
    r.minReports = NumberOf(request.get_param_value("min"), 100000, 0);
    if (r.percent < 0 || r.haltPercent < 0 || r.minReports < 0)
        return {"Refused: percentages are whole numbers from 0 to 100, reports at most 100000.",
                true};
    const auto refusal = CQXRollouts::CheckStart(r, m_releases.HasVersion(r.application, r.version),
                                                 m_storage.FindRollout(r.application));
    if (!refusal.reason.empty())
        return {"Refused: " + refusal.reason + ".", true};
    r.state = "running";
    r.started = m_clock.Now();
    m_storage.PutRollout(r);
    const std::string detail = r.application + " " + r.version + " to groups " +
                               (r.groups.empty() ? "-" : JoinGroups(r.groups)) + " and " +
                               std::to_string(r.percent) + " %";
    m_admins.Audit(session.admin, "rollout start", detail);
    return {"Done: rollout start of " + detail + ".", false};
}

CQXConsole::SOutcome CQXConsole::SteerRollout(const std::string& action,
                                              const SQXAdminSession& session,
                                              const httplib::Request& request) {
    const std::string application = request.get_param_value("app");
    auto rollout = m_storage.FindRollout(application);
    if (!rollout)
        return {"There is no rollout of " + application + ".", true};
    const SQXRollout read = *rollout;
    const int percent = NumberOf(request.get_param_value("percent"), 100, -1);
    const std::string refused =
        CQXRollouts::Steer(*rollout, action == "percent" ? "set" : action, percent, m_clock.Now());
    if (!refused.empty())
        return {"Refused: " + refused + ".", true};
    // A halt on failures that came in meanwhile must stand.
    if (!m_storage.ReplaceRollout(*rollout, read.state, read.started))
        return {"Refused: the rollout changed meanwhile; look again.", true};
    std::string detail = application + " " + rollout->version;
    if (action == "percent")
        detail += " to " + std::to_string(percent) + " %";
    m_admins.Audit(session.admin, "rollout " + action, detail);
    return {"Done: rollout " + action + " of " + detail + ".", false};
}

CQXConsole::SOutcome CQXConsole::EndSession(const SQXAdminSession& session,
                                            const httplib::Request& request) {
    const std::string digest = request.get_param_value("session");
    const std::int64_t now = m_clock.Now();
    for (const auto& [live, expires] : m_storage.ListSessions(now)) {
        if (digest.empty() || CQXAdminStore::Digest(live.id) != digest)
            continue;
        m_storage.CloseSession(live.id, now);
        m_admins.Audit(session.admin, "end session", live.user + " " + live.application);
        return {"Ended a session of " + live.user + ".", false};
    }
    return {"That session had already ended.", true};
}

std::optional<SQXAdminSession> CQXConsole::Session(const httplib::Request& request) {
    return m_admins.Use(CookieValue(request, kCookie));
}

bool CQXConsole::Show(const std::string& path, const SQXAdminSession& session,
                      const httplib::Request& request, const SOutcome& outcome,
                      httplib::Response& response) {
    const auto title = kTitles.find(path);
    if (title == kTitles.end())
        return false;
    std::string html;
    if (!outcome.text.empty())
        html = "<p class=\"" + std::string(outcome.refused ? "error" : "notice") +
               "\" id=\"outcome\">" + CQXHtml::Escape(outcome.text) + "</p>";
    if (path == "fleet")
        html += m_pages.Fleet();
    else if (path == "rollouts")
        html += m_pages.Rollouts(m_root, session.csrf);
    else if (path == "outcomes")
        html += m_pages.Outcomes();
    else
        html += m_pages.Users(request.get_param_value("q"), m_root, session.csrf);
    Html(response, outcome.refused ? 409 : 200,
         CQXHtml::Page(m_base, path, title->second, session.admin, session.csrf, html,
                       path != "users" && ChartsBundled()));
    return true;
}

void CQXConsole::LoginForm(int status, const std::string& error, httplib::Response& response) {
    std::string html = error.empty()
                           ? std::string()
                           : "<p class=\"error\" id=\"error\">" + CQXHtml::Escape(error) + "</p>";
    html += "<form class=\"login\" method=\"post\" action=\"" + CQXHtml::Escape(m_root + "login") +
            "\">" + CQXHtml::Input("Administrator", "name", std::string()) +
            CQXHtml::Input("Password", "password", std::string(), "password") +
            "<button type=\"submit\" id=\"login\">Log in</button></form>";
    Html(response, status,
         CQXHtml::Page(m_base, "login", "Log in", std::string(), std::string(), html, false));
}

void CQXConsole::Redirect(const std::string& path, httplib::Response& response) {
    response.status = 303;
    response.set_header("Location", m_root + path);
}

std::string CQXConsole::Cookie(const std::string& value, const httplib::Request& request) const {
    const bool tls = m_secure || (m_router.FromFront(request) &&
                                  request.get_header_value("X-Forwarded-Proto") == "https");
    return std::string(kCookie) + "=" + value + "; Path=" + m_root + "; HttpOnly; SameSite=Strict" +
           (tls ? "; Secure" : "");
}
