#pragma once

#include <functional>
#include <httplib.h>
#include <map>
#include <string>

#include "QXAccessLog.h"
#include "QXAppServices.h"
#include "QXClock.h"
#include "QXFaultInjector.h"
#include "QXLoginServices.h"
#include "QXReplySigner.h"

// Maps POST <base path><service> to the services, turns their replies into HTTP answers
// (the "SessionId" cookie, streamed files), applies pending test faults and writes one access
// line per request to the access log. Form bodies, passwords included, never reach the log.
class CQXRouter {
public:
    struct Options {
        std::string basePath = "/";
        bool secure = false;
        bool testFaults = false;
        // Refusal texts in UTF-8 (for Linux launchers) instead of the Windows code pages.
        bool utf8Texts = false;
        // Signs the replies that decide what is installed; null for an unsigned site.
        const CQXReplySigner* signer = nullptr;
    };

    CQXRouter(const Options& options, CQXLoginServices& login, CQXAppServices& apps,
              CQXFaultInjector& faults, CQXClock& clock, CQXAccessLog& log);

    // Installs the handlers and the access log on the server.
    void Attach(httplib::Server& server);

private:
    // A service answers a form; address is the client's, for the login back-off.
    using Service = std::function<SQXReply(const CQXForm&, const std::string& address)>;

    void Handle(const httplib::Request& request, httplib::Response& response);
    // The test channel: /_faults and /_clock. True when the request was one of them.
    bool HandleControl(const httplib::Request& request, httplib::Response& response);
    void Write(SQXReply reply, const std::optional<SQXFault>& fault, httplib::Response& response);

    Options m_options;
    CQXFaultInjector& m_faults;
    CQXClock& m_clock;
    CQXAccessLog& m_log;
    std::map<std::string, Service> m_services;
};
