#pragma once

#include <filesystem>
#include <functional>
#include <httplib.h>
#include <map>
#include <string>

#include "QXAccessLog.h"
#include "QXAddressList.h"
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
        // When set, files are not sent but handed to the front server in front of this one:
        // an empty answer with "X-Accel-Redirect: <accelPrefix><path below accelRoot>".
        std::string accelPrefix;
        std::filesystem::path accelRoot;
        // The front servers: their requests carry the client's address in "X-Real-IP", which
        // the login back-off and the access log then use.
        CQXAddressList realIpFrom;
        // The header in which that front names the user it authenticated, for P3SSO; P3SSO
        // is refused on every other connection, and without it.
        std::string ssoUserHeader;
        // P3SSO takes the form's user name from anyone: for test peers only.
        bool ssoUnvouched = false;
        // Signs the replies that decide what is installed; null for an unsigned site.
        const CQXReplySigner* signer = nullptr;
    };

    CQXRouter(const Options& options, CQXLoginServices& login, CQXAppServices& apps,
              CQXFaultInjector& faults, CQXClock& clock, CQXAccessLog& log);

    // Installs the handlers and the access log on the server.
    void Attach(httplib::Server& server);

    // The client's address: the one a trusted front names in "X-Real-IP", else the peer's.
    std::string ClientAddress(const httplib::Request& request) const;
    // Whether the request came from the trusted front (--real-ip-from).
    bool FromFront(const httplib::Request& request) const;

private:
    // Who asked: the client's address, for the login back-off, and the user a trusted front
    // vouched for.
    struct SCaller {
        std::string address;
        std::optional<std::string> vouched;
    };
    using Service = std::function<SQXReply(const CQXForm&, const SCaller&)>;

    void Handle(const httplib::Request& request, httplib::Response& response);
    // The test channel: /_faults and /_clock. True when the request was one of them.
    bool HandleControl(const httplib::Request& request, httplib::Response& response);
    // lang: the request's, which picks the code page of a reply that is not a refusal.
    void Write(SQXReply reply, const std::optional<SQXFault>& fault, const std::string& lang,
               httplib::Response& response);
    SCaller Caller(const CQXForm& form, const httplib::Request& request) const;
    // Hands the reply's file to the front server; false when it lies outside accelRoot.
    bool HandOver(const SQXReply& reply, httplib::Response& response);

    Options m_options;
    CQXFaultInjector& m_faults;
    CQXClock& m_clock;
    CQXAccessLog& m_log;
    std::map<std::string, Service> m_services;
};
