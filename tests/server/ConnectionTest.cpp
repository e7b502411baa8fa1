#include <atomic>
#include <memory>
#include <thread>

#include "server/RawConnection.h"
#include "server/ServerFixture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kMiB = 1024 * 1024;

const std::string kPostHead = "POST /qx/P3Login HTTP/1.1\r\nHost: 127.0.0.1\r\n";

std::string StatusLine(const std::string& response) {
    return response.substr(0, response.find("\r\n"));
}

// Connections that each send one more header line every 200 ms and never end their head.
class SlowClients {
public:
    SlowClients(int port, int count) {
        for (int i = 0; i < count; ++i) {
            m_connections.push_back(std::make_unique<RawConnection>(port));
            m_connections.back()->Send(kPostHead);
        }
        m_thread = std::thread([this] {
            while (!m_stop) {
                for (auto& connection : m_connections)
                    connection->Send("X-Slow: 1\r\n");
                std::this_thread::sleep_for(200ms);
            }
        });
    }
    ~SlowClients() {
        m_stop = true;
        m_thread.join();
    }

private:
    std::vector<std::unique_ptr<RawConnection>> m_connections;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

std::vector<std::unique_ptr<RawConnection>> IdleClients(int port, int count) {
    std::vector<std::unique_ptr<RawConnection>> connections;
    for (int i = 0; i < count; ++i)
        connections.push_back(std::make_unique<RawConnection>(port));
    return connections;
}

} // namespace

using ConnectionTest = ServerFixture;

TEST_F(ConnectionTest, EndlessHeadsAndBodiesAreCutOffAtTheirLimitsWhileMemoryStaysFlat) {
    const long before = ResidentKiB(Server().Pid());
    struct Case {
        const char* name;
        std::string prefix;
        std::string repeated;
        const char* status;
    };
    const Case cases[] = {
        {"header lines", kPostHead, "X-Filler: 0123456789abcdef\r\n", "HTTP/1.1 431"},
        {"one endless line", "POST /qx/P3Login HTTP/1.1\r\nX-Long: ", std::string(4096, 'h'),
         "HTTP/1.1 431"},
        {"chunked body", kPostHead + "Transfer-Encoding: chunked\r\n\r\n",
         "1000\r\n" + std::string(4096, 'b') + "\r\n", "HTTP/1.1 413"},
        {"tiny chunks", kPostHead + "Transfer-Encoding: chunked\r\n\r\n",
         "1;" + std::string(200, 'e') + "\r\nb\r\n", "HTTP/1.1 413"},
        {"announced body", kPostHead + "Content-Length: 99999999999\r\n\r\n",
         std::string(4096, 'b'), "HTTP/1.1 413"},
    };
    for (const auto& c : cases) {
        RawConnection connection(Server().Port());
        ASSERT_TRUE(connection.Connected());
        const std::size_t sent = connection.Flood(c.prefix, c.repeated, 64 * kMiB);
        EXPECT_LT(sent, 32 * kMiB) << c.name;
        EXPECT_EQ(StatusLine(connection.Receive(5s)).rfind(c.status, 0), 0u) << c.name;
    }
    // What the kernel buffers for the connections is not the server's: allow a little growth.
    EXPECT_LT(ResidentKiB(Server().Pid()) - before, 32 * 1024);
    const auto after = Post("GetAppInf", "sessionid=" + Login("demo", "demo"));
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
}

TEST_F(ConnectionTest, ChunkedAndLengthlessRequestsAreReadAsPlainOnes) {
    RawConnection chunked(Server().Port());
    ASSERT_TRUE(chunked.Send(kPostHead +
                             "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
                             "9\r\npassword=\r\ne;ext=1\r\ndemo&user=demo\r\n0\r\nX-T: 1\r\n\r\n"));
    const std::string accepted = chunked.Receive(10s);
    EXPECT_EQ(StatusLine(accepted), "HTTP/1.1 200 OK");
    EXPECT_NE(accepted.find("Set-Cookie: SessionId="), std::string::npos) << accepted;

    // No length announced: the body is empty, and the next bytes are the next request.
    RawConnection lengthless(Server().Port());
    ASSERT_TRUE(lengthless.Send(kPostHead + "\r\nGET /x HTTP/1.1\r\nConnection: close\r\n\r\n"));
    const std::string both = lengthless.Receive(10s);
    EXPECT_EQ(StatusLine(both), "HTTP/1.1 200 OK");
    EXPECT_NE(both.find("Code=-1\n"), std::string::npos) << both;
    EXPECT_NE(both.find("HTTP/1.1 404"), std::string::npos) << both;

    for (const char* smuggled : {"Content-Length: 5\r\nTransfer-Encoding: chunked\r\n",
                                 "Content-Length: 5\r\nContent-Length: 6\r\n",
                                 "Transfer-Encoding: gzip\r\n", "X-Folded: a\r\n b\r\n"}) {
        RawConnection bad(Server().Port());
        ASSERT_TRUE(bad.Send(kPostHead + smuggled + "\r\n0\r\n\r\n"));
        EXPECT_EQ(StatusLine(bad.Receive(10s)), "HTTP/1.1 400 Bad Request") << smuggled;
    }
}

TEST_F(ConnectionTest, IdleConnectionsAndSlowHeadsAreEndedAtTheirDeadlines) {
    RawConnection idle(Server().Port());
    RawConnection slow(Server().Port());
    const auto start = Clock::now();
    std::string answer;
    std::thread trickle([&] {
        slow.Send(kPostHead);
        while (Clock::now() - start < 15s) {
            if (!slow.Send("X-Slow: 1\r\n"))
                break;
            answer += slow.Receive(1s);
            if (!answer.empty())
                break;
        }
    });
    EXPECT_TRUE(idle.ClosedWithin(8s));
    const auto idleEnded = Clock::now() - start;
    EXPECT_GE(idleEnded, 4s);
    trickle.join();
    EXPECT_EQ(StatusLine(answer), "HTTP/1.1 408 Request Timeout");
    EXPECT_LT(Clock::now() - start, 13s);
}

TEST_F(ConnectionTest, IdleAndSlowConnectionsDoNotDelayOthers) {
    if (!RaiseDescriptorLimit(4096))
        GTEST_SKIP() << "the descriptor limit is too low";
    const std::string checksum =
        "sessionid=" + Login("demo", "demo") + "&application=Demo&version=2.0&lang=en";
    const auto idle = IdleClients(Server().Port(), 500);
    SlowClients slow(Server().Port(), 100);
    std::this_thread::sleep_for(300ms);
    const auto start = Clock::now();
    const auto answer = Post("GetAppChecksum", checksum);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_LT(Clock::now() - start, 1s);
}

TEST_F(ConnectionTest, IdleConnectionsDoNotDelayOthersOverHttps) {
    if (!RaiseDescriptorLimit(4096))
        GTEST_SKIP() << "the descriptor limit is too low";
    const auto key = m_dir.Path() / "key.pem";
    const auto cert = m_dir.Path() / "cert.pem";
    ASSERT_EQ(RunProcess("/usr/bin/openssl",
                         {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                          "/CN=127.0.0.1", "-keyout", key.string(), "-out", cert.string()})
                  .exitCode,
              0);
    Start({"--tls-cert", cert.string(), "--tls-key", key.string()});
    httplib::SSLClient client(Server().Host(), Server().Port());
    client.enable_server_certificate_verification(false);
    const auto login = client.Post("/qx/P3Login", "password=demo&user=demo", "text/plain");
    ASSERT_TRUE(login);
    const std::string checksum =
        "sessionid=" + SessionCookie(login) + "&application=Demo&version=2.0&lang=en";
    const auto idle = IdleClients(Server().Port(), 500);
    SlowClients slow(Server().Port(), 100);
    std::this_thread::sleep_for(300ms);
    const auto start = Clock::now();
    httplib::SSLClient fresh(Server().Host(), Server().Port());
    fresh.enable_server_certificate_verification(false);
    const auto answer = fresh.Post("/qx/GetAppChecksum", checksum, "text/plain");
    ASSERT_TRUE(answer) << httplib::to_string(answer.error());
    EXPECT_EQ(answer->status, 200);
    EXPECT_LT(Clock::now() - start, 1s);
}

TEST_F(ConnectionTest, ConnectionsBeyondTheCapAreRefusedUntilSomeEnd) {
    if (!RaiseDescriptorLimit(4096))
        GTEST_SKIP() << "the descriptor limit is too low";
    auto idle = IdleClients(Server().Port(), 1000);
    RawConnection refused(Server().Port());
    EXPECT_EQ(StatusLine(refused.Receive(5s)), "HTTP/1.1 503 Service Unavailable");
    idle.resize(990);
    // The server notices the closed connections at once; a new one is served again.
    bool served = false;
    for (int attempt = 0; attempt < 50 && !served; ++attempt) {
        RawConnection again(Server().Port());
        again.Send(kPostHead + "Content-Length: 0\r\nConnection: close\r\n\r\n");
        served = StatusLine(again.Receive(5s)) == "HTTP/1.1 200 OK";
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(served);
}
