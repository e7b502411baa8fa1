#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "server/ServerFixture.h"

namespace {

// Sends one POST over a plain socket and returns every byte received until the server closed
// the connection: cpp-httplib's client hides a short body behind an error.
std::string RawPost(int port, const std::string& path, const std::string& body) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string received;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "POST " + path +
                                    " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                                    "Content-Type: application/x-www-form-urlencoded\r\n"
                                    "Content-Length: " +
                                    std::to_string(body.size()) + "\r\n\r\n" + body;
        if (send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
            char buffer[4096];
            ssize_t got;
            while ((got = recv(fd, buffer, sizeof buffer, 0)) > 0)
                received.append(buffer, static_cast<std::size_t>(got));
        }
    }
    close(fd);
    return received;
}

std::string BodyOf(const std::string& response) {
    const auto end = response.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : response.substr(end + 4);
}

} // namespace

using OperationsTest = ServerFixture;

TEST_F(OperationsTest, StatusFaultHitsOnlyTheNextRequestsOfItsService) {
    const std::string session = "sessionid=" + Login("demo", "demo");
    const std::string checksum = session + "&application=Demo&version=2.0&lang=en";
    Fault("service=GetAppChecksum&count=2&status=503");
    EXPECT_EQ(Post("GetAppInf", session)->status, 200);
    EXPECT_EQ(Post("GetAppChecksum", checksum)->status, 503);
    EXPECT_EQ(Post("GetAppChecksum", checksum)->status, 503);
    EXPECT_EQ(Post("GetAppChecksum", checksum)->status, 200);

    httplib::Client client(Server().Host(), Server().Port());
    for (const char* bad : {"count=1&status=503", "service=GetAppFile&status=42",
                            "service=GetAppFile&status=500&stall=10", "service=GetAppFile",
                            "service=GetAppFile&count=x&cut=1"})
        EXPECT_EQ(client.Post("/_faults", bad, "text/plain")->status, 400) << bad;
}

TEST_F(OperationsTest, CutFaultEndsTheConnectionAfterThatManyBodyBytes) {
    const std::string body = "sessionid=" + Login("demo", "demo") +
                             "&application=Demo&version=2.0&filename=qxflux.exe&lang=en";
    Fault("service=GetAppFile&cut=4");
    const std::string cut = RawPost(Server().Port(), "/qx/GetAppFile", body);
    EXPECT_EQ(cut.rfind("HTTP/1.1 200", 0), 0u) << cut;
    EXPECT_NE(cut.find("Content-Length: 11\r\n"), std::string::npos) << cut;
    EXPECT_EQ(BodyOf(cut), "qxfl");
    EXPECT_EQ(BodyOf(RawPost(Server().Port(), "/qx/GetAppFile", body)), "qxflux 2.0\n");

    Fault("service=GetAppVersionList&cut=9");
    const std::string table =
        RawPost(Server().Port(), "/qx/GetAppVersionList", body + "&applicationname=Demo");
    EXPECT_EQ(BodyOf(table), "COLONNES=");
}

TEST_F(OperationsTest, StallFaultDelaysTheAnswerButKeepsIt) {
    Fault("service=P3Login&stall=300");
    const auto start = std::chrono::steady_clock::now();
    const std::string session = Login("demo", "demo");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(Post("GetAppInf", "sessionid=" + session)->status, 200);
}

TEST_F(OperationsTest, TestChannelIsClosedUnlessAskedFor) {
    Start({});
    m_server.reset();
    std::vector<std::string> args = {"--root",   Site().string(), "--db",
                                     Database(), "--listen",      "127.0.0.1:0"};
    m_server = std::make_unique<ServerProcess>(QX_SERVER_BINARY, args, ErrorLog());
    httplib::Client client(Server().Host(), Server().Port());
    EXPECT_EQ(client.Post("/_faults", "service=P3Login&status=500", "text/plain")->status, 404);
    EXPECT_EQ(client.Post("/_clock", "advance=100000000", "text/plain")->status, 404);
    // Base path "/" by default: the services sit at the top.
    EXPECT_EQ(client.Post("/P3Login", "password=demo&user=demo&lang=en", "text/plain")->status,
              200);
}

TEST_F(OperationsTest, OversizedFormBodyIsRefusedUnread) {
    const auto refused = Post("P3Login", "password=" + std::string(100 * 1024, 'x') + "&user=demo");
    EXPECT_EQ(refused->status, 413);
    Login("demo", "demo");
}

TEST_F(OperationsTest, AccessLogHasOneLinePerRequestAndNoSecrets) {
    ASSERT_EQ(
        Admin({"user", "add", "tok", "--token", "--password", "pin-secret", "--new-pin"}).exitCode,
        0);
    Login("demo", "demo");
    Post("P3Login", "password=pin-secret&user=tok&lang=en");
    Post("P3Login", "password=new-pin-secret&user=tok&lang=en&oldPasscode=pin-secret");
    Post("ChangePassword", "password=changed-secret&confirmpassword=changed-secret"
                           "&oldpassword=demo&user=demo&out=qx&lang=en");
    EXPECT_EQ(Server().Stop(SIGTERM), 0);
    const std::string log = ReadBytes(ErrorLog());
    EXPECT_EQ(log.find("secret"), std::string::npos) << log;
    EXPECT_NE(log.find("127.0.0.1 \"POST /qx/P3Login\" 200 7 user=demo\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find("\"POST /qx/ChangePassword\" 200 7 user=demo\n"), std::string::npos) << log;
    EXPECT_NE(log.find("qxserver: stopped\n"), std::string::npos) << log;
}

TEST_F(OperationsTest, StopsCleanlyOnInterruptAndTermination) {
    EXPECT_EQ(Server().Stop(SIGINT), 0);
    Start();
    EXPECT_EQ(Server().Stop(SIGTERM), 0);
}

TEST_F(OperationsTest, StartupErrorsSayWhatIsWrong) {
    const auto serve = [this](std::vector<std::string> args) {
        args.insert(args.begin(), "serve");
        args.push_back("--db");
        args.push_back(Database());
        return RunProcess(QX_SERVER_BINARY, args);
    };
    const auto noSite = serve({"--root", m_dir.Path().string()});
    EXPECT_EQ(noSite.exitCode, 1);
    EXPECT_NE(noSite.err.find("is not a site: it has no releases/ folder"), std::string::npos)
        << noSite.err;
    EXPECT_TRUE(noSite.out.empty());

    const std::string busy = "127.0.0.1:" + std::to_string(Server().Port());
    const auto taken = serve({"--root", Site().string(), "--listen", busy});
    EXPECT_EQ(taken.exitCode, 1);
    EXPECT_NE(taken.err.find("cannot listen on " + busy + ": Address already in use"),
              std::string::npos)
        << taken.err;

    WriteBytes(m_dir.Path() / "bad.pem", "not a certificate");
    const auto badCert =
        serve({"--root", Site().string(), "--tls-cert", (m_dir.Path() / "bad.pem").string(),
               "--tls-key", (m_dir.Path() / "bad.pem").string()});
    EXPECT_EQ(badCert.exitCode, 1);
    EXPECT_NE(badCert.err.find("are not a valid pair of PEM files"), std::string::npos)
        << badCert.err;

    const auto badFront = serve({"--root", Site().string(), "--real-ip-from", "10.0.0.1,front-b"});
    EXPECT_EQ(badFront.exitCode, 2);
    EXPECT_NE(badFront.err.find("not 'front-b'"), std::string::npos) << badFront.err;
    EXPECT_EQ(serve({"--root", Site().string(), "--listen", "127.0.0.1"}).exitCode, 2);
    EXPECT_EQ(serve({"--root", Site().string(), "--db-timeout-seconds", "0"}).exitCode, 2);
    EXPECT_EQ(serve({"--root", Site().string(), "--base-path", "qx"}).exitCode, 2);
}

TEST_F(OperationsTest, ServesHttpsWithASecureCookie) {
    const auto key = m_dir.Path() / "key.pem";
    const auto cert = m_dir.Path() / "cert.pem";
    const auto made = RunProcess(
        "/usr/bin/openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                             "/CN=127.0.0.1", "-keyout", key.string(), "-out", cert.string()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    m_server.reset();
    m_server = std::make_unique<ServerProcess>(
        QX_SERVER_BINARY,
        std::vector<std::string>{"--root", Site().string(), "--db", Database(), "--listen",
                                 "127.0.0.1:0", "--base-path", "/qx/", "--tls-cert", cert.string(),
                                 "--tls-key", key.string()},
        ErrorLog());
    ASSERT_EQ(Server().Url().rfind("https://127.0.0.1:", 0), 0u) << Server().Url();
    httplib::SSLClient client(Server().Host(), Server().Port());
    client.enable_server_certificate_verification(false);
    const auto login = client.Post("/qx/P3Login", "password=demo&user=demo&lang=en", "text/plain");
    ASSERT_TRUE(login) << httplib::to_string(login.error());
    EXPECT_EQ(login->status, 200);
    EXPECT_NE(login->get_header_value("Set-Cookie").find("; Secure"), std::string::npos);
    const auto file = client.Post("/qx/GetAppFile",
                                  "sessionid=" + SessionCookie(login) +
                                      "&application=Demo&version=2.0&filename=qxflux.exe",
                                  "text/plain");
    EXPECT_EQ(file->body, "qxflux 2.0\n");
}

TEST_F(OperationsTest, AccessLogEscapesWhatClientsChoseAndCutsLongValues) {
    const std::string fake = "2026-01-01T00:00:00Z 10.0.0.1 \"POST /qx/P3Login\" 200 7 user=admin";
    Post("P3Login", "password=x&user=evil\n" + fake + "&lang=en");
    Post("P3Login", "password=x&user=evil\r\n" + fake + "&lang=en");
    RawPost(Server().Port(), "/qx/P3Login%0d%0a2026-fake-line", "user=demo");
    Post("P3Login", "password=x&user=" + std::string(5000, 'u') + "&lang=en");
    Post("GetAppChecksum", "sessionid=" + Login("demo", "demo") + "&application=" +
                               std::string(300, 'a') + "\n" + fake + "&version=2.0");
    EXPECT_EQ(Server().Stop(SIGTERM), 0);
    const std::string log = ReadBytes(ErrorLog());
    std::size_t lines = 0;
    for (std::size_t start = 0, end; (end = log.find('\n', start)) != std::string::npos;
         start = end + 1, ++lines) {
        const std::string line = log.substr(start, end - start);
        EXPECT_TRUE(line.rfind("20", 0) == 0 || line == "qxserver: stopped") << line;
        EXPECT_LT(line.size(), 1000u) << line;
    }
    EXPECT_EQ(lines, 7u) << log;
    EXPECT_NE(log.find("user=evil\\x0a2026-01-01T00:00:00Z 10.0.0.1 \\x22POST"), std::string::npos)
        << log;
    EXPECT_NE(log.find("user=evil\\x0d\\x0a2026"), std::string::npos) << log;
    EXPECT_NE(log.find("\"POST /qx/P3Login\\x0d\\x0a2026-fake-line\" 404"), std::string::npos)
        << log;
    EXPECT_NE(log.find("user=" + std::string(256, 'u') + "... refused=-1"), std::string::npos)
        << log;
}

TEST_F(OperationsTest, OddInputsAreRefusedCleanly) {
    const std::string session = "sessionid=" + Login("demo", "demo");
    const std::string longName(300, 'n');
    for (const std::string& body :
         {"&application=" + longName + "&version=2.0", "&application=Demo&version=" + longName}) {
        const auto refused = Post("GetAppChecksum", session + body);
        EXPECT_EQ(refused->status, 404) << refused->body;
    }
    EXPECT_EQ(Post("GetAppInf", session + "&application=" + longName)->status, 404);
    EXPECT_EQ(
        Post("GetAppFile", session + "&application=Demo&version=2.0&filename=" + longName)->status,
        404);

    // HMAC pads keys with NUL bytes: "demo" and "demo\0" would be one password.
    const auto nul = Post("P3Login", std::string("password=demo\0&user=demo&lang=en", 32));
    EXPECT_EQ(nul->status, 400);
    EXPECT_FALSE(nul->has_header("Set-Cookie"));
    EXPECT_EQ(Post("P3Login", std::string("password=demo&user=demo\0&lang=en", 32))->status, 400);

    // An application folder that links out of the site is not there; one that links within is.
    std::filesystem::copy(Site() / "releases/Demo", m_dir.Path() / "outside",
                          std::filesystem::copy_options::recursive);
    std::filesystem::create_directory_symlink(m_dir.Path() / "outside", Site() / "releases/Out");
    std::filesystem::create_directory_symlink(Site() / "releases/Demo", Site() / "releases/In");
    std::filesystem::create_directory_symlink(m_dir.Path() / "outside/2.0",
                                              Site() / "releases/Demo/9.0");
    EXPECT_EQ(Post("GetAppInf", session + "&application=Out")->status, 404);
    EXPECT_EQ(Post("GetAppChecksum", session + "&application=Out&version=2.0")->status, 404);
    EXPECT_EQ(Post("GetAppChecksum", session + "&application=Demo&version=9.0")->status, 404);
    EXPECT_EQ(Post("GetAppVersionList", session + "&applicationname=Demo")->body.find("9.0"),
              std::string::npos);
    EXPECT_EQ(Post("GetAppChecksum", session + "&application=In&version=2.0")->status, 200);

    const auto huge =
        RunProcess(QX_SERVER_BINARY, {"serve", "--root", Site().string(), "--db", Database(),
                                      "--session-lifetime-seconds", "9223372036854775807"});
    EXPECT_EQ(huge.exitCode, 2);
    EXPECT_NE(huge.err.find("--session-lifetime-seconds must be from 1 to 31622400"),
              std::string::npos)
        << huge.err;
    httplib::Client client(Server().Host(), Server().Port());
    EXPECT_EQ(client.Post("/_clock", "advance=9223372036854775807", "text/plain")->status, 400);
}
