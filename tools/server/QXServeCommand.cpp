#include "QXServeCommand.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>

#include "QXAccessLog.h"
#include "QXAdminStore.h"
#include "QXArguments.h"
#include "QXConsole.h"
#include "QXDeltaStore.h"
#include "QXGuardedServer.h"
#include "QXIniFile.h"
#include "QXLdapDirectory.h"
#include "QXRouter.h"
#include "QXSiteCheck.h"
#include "QXWireText.h"

namespace fs = std::filesystem;

namespace {

// A session may be given at most a year without use.
constexpr long long kMaxLifetime = 366LL * 86400;
// A request waits at most this long for the database at each step: beyond, fronts give up.
constexpr long long kMaxDbTimeout = 300;
// Descriptors kept back from connections, for the database, files being sent and the like.
constexpr std::size_t kSpareDescriptors = 64;

struct Listen {
    std::string host = "127.0.0.1";
    int port = 8080;
};

Listen ParseListen(const std::string& text) {
    Listen listen;
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        throw CQXUsageError("--listen needs HOST:PORT, not '" + text + "'");
    listen.host = text.substr(0, colon);
    // "[::1]:8080": the brackets belong to the URL, not to the address.
    if (listen.host.size() > 2 && listen.host.front() == '[' && listen.host.back() == ']')
        listen.host = listen.host.substr(1, listen.host.size() - 2);
    try {
        std::size_t used = 0;
        listen.port = std::stoi(text.substr(colon + 1), &used);
        if (used != text.size() - colon - 1 || listen.port < 0 || listen.port > 65535)
            throw CQXUsageError("");
    } catch (const std::exception&) {
        throw CQXUsageError("--listen needs a port from 0 to 65535, not '" + text + "'");
    }
    return listen;
}

std::string CheckBasePath(const std::string& path, const std::string& option) {
    if (path.empty() || path.front() != '/' || path.back() != '/' ||
        path.find_first_of(" ?#%\\") != std::string::npos)
        throw CQXUsageError("--" + option + " must start and end with '/', like /qx/");
    return path;
}

// Raises the soft limit of open descriptors to the hard one (each connection holds one) and
// returns how many connections it leaves room for.
std::size_t ConnectionRoom(std::size_t wanted) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return wanted;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur == RLIM_INFINITY)
        return wanted;
    const auto room = static_cast<std::size_t>(limit.rlim_cur);
    return room <= 2 * kSpareDescriptors ? kSpareDescriptors
                                         : std::min(wanted, room - kSpareDescriptors);
}

std::unique_ptr<httplib::Server> MakeServer(const std::string& cert, const std::string& key,
                                            const SQXConnectionLimits& limits, CQXAccessLog& log) {
    if (cert.empty() != key.empty())
        throw std::runtime_error("give both --tls-cert and --tls-key, or neither");
    if (cert.empty())
        return std::make_unique<CQXGuardedServer<httplib::Server>>(limits, log);
    for (const auto& file : {cert, key}) {
        if (!fs::is_regular_file(file))
            throw std::runtime_error("cannot read " + file);
    }
    auto server = std::make_unique<CQXGuardedServer<httplib::SSLServer>>(limits, log, cert.c_str(),
                                                                         key.c_str());
    if (!server->is_valid())
        throw std::runtime_error("the certificate " + cert + " and the key " + key +
                                 " are not a valid pair of PEM files");
    return server;
}

// Waits for SIGINT or SIGTERM (blocked in every thread) and stops the server; a stalled test
// request would otherwise hold the stop for the whole stall. A signal can come before the
// server has begun listening, when stopping it would do nothing: wait for that first, unless
// listening has already ended.
void StopOnSignal(httplib::Server& server, CQXFaultInjector& faults, const sigset_t& signals,
                  const std::atomic<bool>& listenEnded) {
    int signal = 0;
    sigwait(&signals, &signal);
    faults.ReleaseStalls();
    while (!listenEnded && !server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    server.stop();
}

// The directory of the --ldap-* options, or null without --ldap-url.
std::unique_ptr<CQXLdapDirectory> MakeDirectory(const CQXArguments& args) {
    if (!args.Has("ldap-url"))
        return nullptr;
    CQXLdapDirectory::Settings settings;
    settings.url = args.Get("ldap-url");
    settings.userDnTemplate = args.Get("ldap-user-dn");
    settings.searchBase = args.Get("ldap-search-base");
    settings.searchFilter = args.Get("ldap-search-filter");
    settings.bindDn = args.Get("ldap-bind-dn");
    settings.groupBase = args.Get("ldap-group-base");
    if (args.Has("ldap-bind-password-file")) {
        const std::string file = args.Get("ldap-bind-password-file");
        std::ifstream in(file);
        if (!in || !std::getline(in, settings.bindPassword))
            throw std::runtime_error("cannot read the directory password from " + file);
    }
    try {
        return std::make_unique<CQXLdapDirectory>(settings);
    } catch (const std::invalid_argument& e) {
        throw CQXUsageError(e.what());
    }
}

} // namespace

int CQXServeCommand::Run(const std::vector<std::string>& words) {
    // --utf8-texts chose UTF-8 texts for Linux launchers, which now speak the Windows code
    // pages too: still accepted, so that old scripts run, and without effect.
    const CQXArguments args(words, {"test-faults", "utf8-texts", "insecure-sso"},
                            {"root",
                             "listen",
                             "base-path",
                             "tls-cert",
                             "tls-key",
                             "db",
                             "session-lifetime-seconds",
                             "accel-redirect",
                             "real-ip-from",
                             "signing-key",
                             "sso-user-header",
                             "ldap-url",
                             "ldap-user-dn",
                             "ldap-search-base",
                             "ldap-search-filter",
                             "ldap-bind-dn",
                             "ldap-bind-password-file",
                             "ldap-group-base",
                             "code-page",
                             "db-timeout-seconds"});
    if (!args.Has("root"))
        throw CQXUsageError("serve needs --root DIR");
    const fs::path root = args.Get("root");
    if (!fs::is_directory(root / "releases"))
        throw std::runtime_error(root.string() + " is not a site: it has no releases/ folder");
    const Listen listen = ParseListen(args.Get("listen", "127.0.0.1:8080"));
    CQXRouter::Options options;
    options.basePath = CheckBasePath(args.Get("base-path", "/"), "base-path");
    options.secure = args.Has("tls-cert");
    options.testFaults = args.Has("test-faults");
    for (const auto& list : args.GetAll("real-ip-from"))
        options.realIpFrom.Add(list);
    options.ssoUserHeader = args.Get("sso-user-header");
    options.ssoUnvouched = args.Has("insecure-sso");
    if (!options.ssoUserHeader.empty() && options.realIpFrom.Empty())
        throw CQXUsageError("--sso-user-header needs --real-ip-from: only a front may vouch");
    if (args.Has("accel-redirect")) {
        options.accelPrefix = CheckBasePath(args.Get("accel-redirect"), "accel-redirect");
        options.accelRoot = fs::canonical(root / "releases");
    }
    const long long lifetime = args.GetNumber("session-lifetime-seconds", 1800);
    if (lifetime <= 0 || lifetime > kMaxLifetime)
        throw CQXUsageError("--session-lifetime-seconds must be from 1 to " +
                            std::to_string(kMaxLifetime) + " (a year)");

    if (args.Has("code-page")) {
        const long long codePage = args.GetNumber("code-page", 0);
        if (!QXIsWireCodePage(codePage))
            throw CQXUsageError("--code-page must be a Windows ANSI code page: 874, 932, 936, "
                                "949, 950 or 1250 to 1258");
        QXSetSiteCodePage(static_cast<unsigned>(codePage));
    }

    CQXSiteCheck::RequireServable(root, std::cerr);
    const CQXIniFile site((root / "site.ini").string());
    CQXClock clock;
    const long long dbTimeout = args.GetNumber(
        "db-timeout-seconds",
        std::chrono::duration_cast<std::chrono::seconds>(kQXDatabaseTimeout).count());
    if (dbTimeout <= 0 || dbTimeout > kMaxDbTimeout)
        throw CQXUsageError("--db-timeout-seconds must be from 1 to " +
                            std::to_string(kMaxDbTimeout));
    const auto storage = OpenStorage(args.Get("db", (root / "qxserver.db").string()),
                                     std::chrono::seconds(dbTimeout));
    CQXUserStore users(*storage, clock, site.GetInteger("Passwords", "MaxAgeDays", 90));
    CQXSessionStore sessions(*storage, clock, lifetime);
    CQXReleaseStore releases(root);
    CQXLoginServices login(users, sessions, *storage, clock);
    const auto directory = MakeDirectory(args);
    if (directory)
        login.UseDirectory(*directory);
    CQXRollouts rollouts(*storage, clock);
    CQXAppServices apps(releases, users, sessions, rollouts,
                        site.GetInteger("Passwords", "WarningDays", 14));
    CQXDeltaStore deltas(root, releases);
    if (site.GetFlag("Updates", "Deltas", false))
        apps.UseDeltas(deltas);
    std::unique_ptr<CQXReplySigner> signer;
    if (args.Has("signing-key")) {
        signer = std::make_unique<CQXReplySigner>(args.Get("signing-key"));
        options.signer = signer.get();
        apps.ListSha256();
    }
    CQXFaultInjector faults;
    CQXAccessLog log(std::cerr);
    CQXRouter router(options, login, apps, faults, clock, log);
    CQXAdminStore admins(*storage, clock);
    CQXLoginThrottle consoleThrottle(*storage, clock);
    CQXConsolePages pages(*storage, releases, clock);
    CQXConsole console(options.basePath, options.secure, router, admins, consoleThrottle, pages,
                       *storage, releases, clock);

    // Blocked before any thread starts, so that only the waiting thread receives them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A client that hangs up while a TLS answer is written must not end the server.
    std::signal(SIGPIPE, SIG_IGN);

    SQXConnectionLimits limits;
    limits.connections = ConnectionRoom(limits.connections);
    auto server = MakeServer(args.Get("tls-cert"), args.Get("tls-key"), limits, log);
    // Form bodies are a few hundred bytes; the connection refuses larger ones (413) already.
    server->set_payload_max_length(limits.bodyBytes);
    // What the "Keep-Alive" header announces; the connections themselves hold to the limits.
    server->set_keep_alive_max_count(limits.requestsPerConnection);
    server->set_keep_alive_timeout(
        std::chrono::duration_cast<std::chrono::seconds>(limits.idle).count());
    // The library's default, SO_REUSEPORT, would let a second server share a busy port.
    server->set_socket_options([](int socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    console.Attach(*server);
    router.Attach(*server);
    int port = listen.port;
    errno = 0;
    const bool bound = port == 0 ? (port = server->bind_to_any_port(listen.host)) > 0
                                 : server->bind_to_port(listen.host, port);
    if (!bound) {
        const std::string reason = errno ? std::strerror(errno) : "address not available";
        throw std::runtime_error("cannot listen on " + listen.host + ":" +
                                 std::to_string(listen.port) + ": " + reason);
    }
    const bool ipv6 = listen.host.find(':') != std::string::npos;
    std::cout << (options.secure ? "https://" : "http://")
              << (ipv6 ? "[" + listen.host + "]" : listen.host) << ':' << port << options.basePath
              << std::endl;

    std::atomic<bool> listenEnded{false};
    std::thread waiter(StopOnSignal, std::ref(*server), std::ref(faults), signals,
                       std::cref(listenEnded));
    const bool clean = server->listen_after_bind();
    listenEnded = true;
    // Wakes the waiter if listening ended for another reason than a signal.
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    std::cerr << "qxserver: stopped" << std::endl;
    return clean ? 0 : 1;
}
