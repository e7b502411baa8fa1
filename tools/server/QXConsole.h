#pragma once

#include <httplib.h>
#include <optional>
#include <string>

#include "QXAdminStore.h"
#include "QXConsolePages.h"
#include "QXLoginThrottle.h"
#include "QXRouter.h"

// The admin console under <base path>admin/: a login form for administrators (never users), a
// session cookie (HttpOnly, SameSite=Strict, Secure over TLS or behind a TLS front), pages
// that only a live session reaches, and changes that are POSTs carrying the session's CSRF
// token, each written to the audit. Every answer forbids caching and framing.
class CQXConsole {
public:
    // secure: the server speaks TLS itself. The router tells the client's address (for the
    // login back-off) and whether a request came through the trusted front.
    CQXConsole(const std::string& basePath, bool secure, const CQXRouter& router,
               CQXAdminStore& admins, CQXLoginThrottle& throttle, CQXConsolePages& pages,
               IQXStorage& storage, const CQXReleaseStore& releases, const CQXClock& clock);

    // Installs the console's GET and POST handlers; call before the router's Attach, whose
    // POST handler takes every path.
    void Attach(httplib::Server& server);

private:
    // What a change did: the notice to show, and whether it was refused.
    struct SOutcome {
        std::string text;
        bool refused = false;
    };

    void Get(const std::string& path, const httplib::Request& request, httplib::Response& response);
    void Post(const std::string& path, const httplib::Request& request,
              httplib::Response& response);
    void LogIn(const httplib::Request& request, httplib::Response& response);
    // Carries out the change at path and answers with the page it was made from.
    void Change(const std::string& path, const SQXAdminSession& session,
                const httplib::Request& request, httplib::Response& response);
    SOutcome StartRollout(const SQXAdminSession& session, const httplib::Request& request);
    SOutcome SteerRollout(const std::string& action, const SQXAdminSession& session,
                          const httplib::Request& request);
    SOutcome EndSession(const SQXAdminSession& session, const httplib::Request& request);
    std::optional<SQXAdminSession> Session(const httplib::Request& request);
    // The page at path ("fleet", "rollouts", ...) with the outcome of a change above it (when
    // its text is not empty); false for a path that is no page.
    bool Show(const std::string& path, const SQXAdminSession& session,
              const httplib::Request& request, const SOutcome& outcome,
              httplib::Response& response);
    // The login form with an error above it (none when empty).
    void LoginForm(int status, const std::string& error, httplib::Response& response);
    void Redirect(const std::string& path, httplib::Response& response);
    std::string Cookie(const std::string& value, const httplib::Request& request) const;

    std::string m_base;
    std::string m_root;
    bool m_secure;
    const CQXRouter& m_router;
    CQXAdminStore& m_admins;
    CQXLoginThrottle& m_throttle;
    CQXConsolePages& m_pages;
    IQXStorage& m_storage;
    const CQXReleaseStore& m_releases;
    const CQXClock& m_clock;
};
