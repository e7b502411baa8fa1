#include <chrono>
#include <gtest/gtest.h>
#include <string>

#include "protocol/QXLDownloader.h"
#include "protocol/QXLKeepAlive.h"
#include "support/InProcessTransport.h"
#include "support/QxServer.h"
#include "support/TestLog.h"
#include "support/UrlConfiguration.h"

using namespace std::chrono_literals;

namespace {

const char kServers[] = "URL1=http://127.0.0.1:8080/\r\nURL2=http://127.0.0.1:8080/alt/\r\n";

InProcessReply Ok(const InProcessRequest&) { return InProcessAnswer(200, "OK"); }

// The pings sent to object from the sent request numbered from on, whose body holds part.
std::size_t Pings(const InProcessTransport& transport, const std::wstring& object,
                  std::size_t from = 0, const std::string& part = "") {
    const std::vector<InProcessRequest> sent = transport.Sent();
    std::size_t count = 0;
    for (std::size_t i = from; i < sent.size(); ++i)
        count += sent[i].object == object && sent[i].body.find(part) != std::string::npos;
    return count;
}

} // namespace

TEST(KeepAlivePingTest, WithoutARequestServerNothingStarts) {
    TestLog log;
    UrlConfiguration none("");
    CQXLDownloader downloader(log.Log(), kQXEnglishBase);
    downloader.SetConfiguration(&none.Config());
    EXPECT_FALSE(downloader.StartKeepAlive());
    EXPECT_TRUE(log.Contains("No URL in qxurl.net"));
}

TEST(KeepAlivePingTest, PingsTheCurrentServerEveryPeriodAndFollowsAFailover) {
    InProcessTransport transport(Ok);
    TestLog log;
    UrlConfiguration two(kServers);
    {
        CQXLDownloader downloader(log.Log(), kQXFrenchBase, transport);
        downloader.SetConfiguration(&two.Config());
        downloader.SetSessionId(L"S1");
        downloader.SetKeepAlivePeriodForTests(50ms);
        ASSERT_TRUE(downloader.StartKeepAlive());
        EXPECT_TRUE(WaitUntil([&] { return Pings(transport, L"/ExtendSession") >= 3; }));
        EXPECT_EQ(transport.Sent().front().body, "sessionid=S1&lang=fr");

        two.Config().GetServerList().NextServer();
        const std::size_t moved = transport.Sent().size();
        EXPECT_TRUE(WaitUntil([&] { return Pings(transport, L"/alt/ExtendSession", moved) >= 2; }));
        // At most the ping under way when the server changed went to the first one.
        EXPECT_LE(Pings(transport, L"/ExtendSession", moved), 1u);
    }
    // Pings write nothing to the log.
    EXPECT_FALSE(log.Contains("ExtendSession"));
}

TEST(KeepAlivePingTest, StopDuringThePauseEndsTheThreadAtOnceWithoutAnotherPing) {
    InProcessTransport transport(Ok);
    UrlConfiguration one(kServers);
    SQXLKeepAliveStart values{&one.Config(), L"ExtendSession", L"sessionid=S1&lang=en", 1252};
    CQXLKeepAlive keepAlive(transport);
    // A pause far longer than the test may take: only the stop can end it.
    keepAlive.SetPeriodForTests(1h);
    unsigned long error = 0;
    ASSERT_TRUE(keepAlive.Start(values, error));
    ASSERT_TRUE(WaitUntil([&] { return Pings(transport, L"/ExtendSession") == 1; }));
    keepAlive.Stop();
    ASSERT_TRUE(WaitUntil([&] { return keepAlive.RunningCount() == 0; }));
    EXPECT_EQ(1u, Pings(transport, L"/ExtendSession"));

    // An earlier stop, even one given while nothing ran, never ends a thread started later.
    keepAlive.Stop();
    keepAlive.SetPeriodForTests(50ms);
    ASSERT_TRUE(keepAlive.Start(values, error));
    EXPECT_TRUE(WaitUntil([&] { return Pings(transport, L"/ExtendSession") >= 4; }));
    EXPECT_EQ(keepAlive.RunningCount(), 1);
}

TEST(KeepAlivePingTest, SecondStartLeavesTheFirstThreadsValuesAlone) {
    InProcessTransport transport(Ok);
    TestLog log;
    UrlConfiguration one(kServers);
    CQXLDownloader downloader(log.Log(), kQXEnglishBase, transport);
    downloader.SetConfiguration(&one.Config());
    downloader.SetKeepAlivePeriodForTests(50ms);
    downloader.SetSessionId(L"S-demo");
    ASSERT_TRUE(downloader.StartKeepAlive());
    downloader.SetSessionId(L"S-legacy");
    ASSERT_TRUE(downloader.StartKeepAlive());
    const std::size_t both = transport.Sent().size();
    EXPECT_TRUE(WaitUntil([&] {
        return Pings(transport, L"/ExtendSession", both, "=S-demo&") >= 3 &&
               Pings(transport, L"/ExtendSession", both, "=S-legacy&") >= 3;
    }));
    downloader.StopKeepAlive();
}
