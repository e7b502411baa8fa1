#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

#include "config/QXUrlParser.h"
#include "protocol/QXLDownloader.h"
#include "protocol/QXLKeepAlive.h"
#include "support/HttpPeers.h"
#include "support/QxServer.h"
#include "support/TempDir.h"
#include "support/TestLog.h"

using namespace std::chrono_literals;

namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// An installation whose qxurl.net lists the given request servers.
class Installation {
public:
    explicit Installation(const std::string& servers) {
        WriteBytes(m_dir.Path() / "qxurl.net", "[Config]\r\n" + servers);
        EXPECT_TRUE(m_config.SetInstallationPath(m_dir.Path().wstring()));
    }
    CQXUrlParser& Config() { return m_config; }

private:
    TempDir m_dir;
    CQXUrlParser m_config;
};

constexpr char kPing[] = "\"POST /ExtendSession\" 200";

} // namespace

TEST(KeepAliveTest, WithoutARequestServerNothingStarts) {
    TestLog log;
    Installation none("");
    CQXLDownloader downloader(log.Log(), kQXEnglishBase);
    downloader.SetConfiguration(&none.Config());
    EXPECT_FALSE(downloader.StartKeepAlive());
    EXPECT_TRUE(log.Contains("No URL in qxurl.net"));
}

TEST(KeepAliveTest, PingsTheCurrentServerEveryPeriodAndFollowsAFailover) {
    QxServer server;
    TestLog log;
    Installation two("URL1=" + Narrow(server.Url()) + "\r\nURL2=" + Narrow(server.Url()) +
                     "alt/\r\n");
    const std::size_t start = server.LogLineCount();
    {
        CQXLDownloader downloader(log.Log(), kQXFrenchBase);
        downloader.SetConfiguration(&two.Config());
        downloader.SetSessionId(server.Session("demo"));
        downloader.SetKeepAlivePeriodForTests(50ms);
        ASSERT_TRUE(downloader.StartKeepAlive());
        // Status 200 shows that the session id went along.
        EXPECT_TRUE(WaitUntil([&] { return server.CountLogLines(start, {kPing}) >= 3; }));

        two.Config().GetServerList().NextServer();
        const std::size_t moved = server.LogLineCount();
        EXPECT_TRUE(WaitUntil(
            [&] { return server.CountLogLines(moved, {"\"POST /alt/ExtendSession\""}) >= 2; }));
        // At most the ping under way when the server changed went to the first one.
        EXPECT_LE(server.CountLogLines(moved, {kPing}), 1u);
    }
    // Pings write nothing to the log.
    EXPECT_FALSE(log.Contains("ExtendSession"));
}

TEST(KeepAliveTest, StopDuringThePauseEndsTheThreadAtOnceWithoutAnotherPing) {
    QxServer server;
    TestLog log;
    Installation one("URL1=" + Narrow(server.Url()) + "\r\n");
    const std::size_t start = server.LogLineCount();
    SQXLKeepAliveStart values{&one.Config(), L"ExtendSession",
                              L"sessionid=" + server.Session("demo") + L"&lang=en", 1252};
    CQXLKeepAlive keepAlive;
    // A pause far longer than the test may take: only the stop can end it.
    keepAlive.SetPeriodForTests(1h);
    unsigned long error = 0;
    ASSERT_TRUE(keepAlive.Start(values, error));
    ASSERT_TRUE(WaitUntil([&] { return server.CountLogLines(start, {kPing}) == 1; }));
    keepAlive.Stop();
    ASSERT_TRUE(WaitUntil([&] { return keepAlive.RunningCount() == 0; }));
    EXPECT_EQ(1u, server.CountLogLines(start, {kPing}));

    // An earlier stop, even one given while nothing ran, never ends a thread started later.
    keepAlive.Stop();
    keepAlive.SetPeriodForTests(50ms);
    ASSERT_TRUE(keepAlive.Start(values, error));
    EXPECT_TRUE(WaitUntil([&] { return server.CountLogLines(start, {kPing}) >= 4; }));
    EXPECT_EQ(keepAlive.RunningCount(), 1);
}

// A server that drips its headers a line every five seconds, so that no receive time-out ever
// ends the ping: neither the stop nor the client's end may wait for it.
TEST(KeepAliveTest, StopAndTheClientsEndDoNotWaitForADrippingPing) {
    const HttpPeers peers = LoadHttpPeers();
    TestLog log;
    Installation drip("URL1=" + Narrow(peers.drip) + "/drip-headers/5/\r\n");
    const auto inFlight = 1s; // the ping is sent at once and then waits for its headers
    SQXLKeepAliveStart values{&drip.Config(), L"ExtendSession", L"sessionid=S1&lang=en"};
    CQXLKeepAlive keepAlive;
    keepAlive.SetPeriodForTests(1h);
    unsigned long error = 0;
    ASSERT_TRUE(keepAlive.Start(values, error));
    std::this_thread::sleep_for(inFlight);
    auto begin = std::chrono::steady_clock::now();
    keepAlive.Stop();
    EXPECT_TRUE(WaitUntil([&] { return keepAlive.RunningCount() == 0; }));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);

    auto downloader = std::make_unique<CQXLDownloader>(log.Log(), kQXEnglishBase);
    downloader->SetConfiguration(&drip.Config());
    ASSERT_TRUE(downloader->StartKeepAlive());
    std::this_thread::sleep_for(inFlight);
    begin = std::chrono::steady_clock::now();
    downloader->StopKeepAlive();
    downloader.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
}

TEST(KeepAliveTest, SecondStartLeavesTheFirstThreadsValuesAlone) {
    QxServer server;
    TestLog log;
    Installation one("URL1=" + Narrow(server.Url()) + "\r\n");
    CQXLDownloader downloader(log.Log(), kQXEnglishBase);
    downloader.SetConfiguration(&one.Config());
    downloader.SetKeepAlivePeriodForTests(50ms);
    downloader.SetSessionId(server.Session("demo"));
    ASSERT_TRUE(downloader.StartKeepAlive());
    downloader.SetSessionId(server.Session("legacy"));
    ASSERT_TRUE(downloader.StartKeepAlive());
    const std::size_t both = server.LogLineCount();
    EXPECT_TRUE(WaitUntil([&] {
        return server.CountLogLines(both, {kPing, "user=demo"}) >= 3 &&
               server.CountLogLines(both, {kPing, "user=legacy"}) >= 3;
    }));
    downloader.StopKeepAlive();
}

TEST(KeepAliveTest, SelfSignedServerIsPingedWithTheLeniencySwitch) {
    QxServer server;
    TestLog log;
    Installation secure("SecurityIgnoreUnknownCertificate=Yes\r\nURL1=" + Narrow(server.TlsUrl()) +
                        "\r\n");
    const std::size_t start = server.LogLineCount(QxServer::kTlsLog);
    CQXLDownloader downloader(log.Log(), kQXEnglishBase);
    downloader.SetConfiguration(&secure.Config());
    downloader.SetKeepAlivePeriodForTests(50ms);
    downloader.SetSessionId(server.Session("demo"));
    ASSERT_TRUE(downloader.StartKeepAlive());
    EXPECT_TRUE(
        WaitUntil([&] { return server.CountLogLines(start, {kPing}, QxServer::kTlsLog) >= 2; }));
}
