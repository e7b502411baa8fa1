#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

#include "protocol/QXLDownloader.h"
#include "protocol/QXLKeepAlive.h"
#include "support/HttpPeers.h"
#include "support/QxServer.h"
#include "support/TestLog.h"
#include "support/UrlConfiguration.h"

using namespace std::chrono_literals;

namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

constexpr char kPing[] = "\"POST /ExtendSession\" 200";

} // namespace

// A server that drips its headers a line every five seconds, so that no receive time-out ever
// ends the ping: neither the stop nor the client's end may wait for it.
TEST(KeepAliveTest, StopAndTheClientsEndDoNotWaitForADrippingPing) {
    const HttpPeers peers = LoadHttpPeers();
    TestLog log;
    UrlConfiguration drip("URL1=" + Narrow(peers.drip) + "/drip-headers/5/\r\n");
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

TEST(KeepAliveTest, SelfSignedServerIsPingedWithTheLeniencySwitch) {
    QxServer server;
    TestLog log;
    UrlConfiguration secure(
        "SecurityIgnoreUnknownCertificate=Yes\r\nURL1=" + Narrow(server.TlsUrl()) + "\r\n");
    const std::size_t start = server.LogLineCount(QxServer::kTlsLog);
    CQXLDownloader downloader(log.Log(), kQXEnglishBase);
    downloader.SetConfiguration(&secure.Config());
    downloader.SetKeepAlivePeriodForTests(50ms);
    downloader.SetSessionId(server.Session("demo"));
    ASSERT_TRUE(downloader.StartKeepAlive());
    EXPECT_TRUE(
        WaitUntil([&] { return server.CountLogLines(start, {kPing}, QxServer::kTlsLog) >= 2; }));
}
