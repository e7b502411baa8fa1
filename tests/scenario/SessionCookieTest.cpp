#include <gtest/gtest.h>

#include "support/HttpPeers.h"
#include "support/Installation.h"
#include "support/QxServer.h"

// The session id comes from the login reply itself: a refused login after an earlier session
// of the same process never passes for a success with the old id.
TEST(SessionCookieTest, ARefusedLoginAfterALogoutFailsInsteadOfKeepingTheOldSession) {
    QxServer server;
    if (server.Url().empty())
        GTEST_SKIP();
    Installation installation({server.Url()});
    CQXLServerClient& client = installation.Server();
    ASSERT_EQ(client.LoginStep(L"demo", L"demo", std::nullopt).result, QXLLogin::LoggedIn);
    const std::wstring first = client.GetSessionId();
    ASSERT_EQ(first.size(), 32u);
    ASSERT_TRUE(client.Logout());

    EXPECT_EQ(client.LoginStep(L"demo", L"wrong", std::nullopt).serverCode, -1);
    EXPECT_NE(client.GetSessionId(), first);
    EXPECT_TRUE(installation.Log().Contains("Session Id not found"));

    // A new login still finds its own, new session.
    ASSERT_EQ(client.LoginStep(L"demo", L"demo", std::nullopt).result, QXLLogin::LoggedIn);
    EXPECT_EQ(client.GetSessionId().size(), 32u);
    EXPECT_NE(client.GetSessionId(), first);
}

// The id would break the command lines that carry it: no session, and the login fails.
TEST(SessionCookieTest, ASessionIdThatCouldBreakACommandLineIsRefused) {
    const HttpPeers peers = LoadHttpPeers();
    Installation installation({peers.peer + L"/unsafe/"});
    EXPECT_NE(installation.Server().LoginStep(L"demo", L"demo", std::nullopt).result,
              QXLLogin::LoggedIn);
    EXPECT_EQ(installation.Client().GetSessionId(), L"");
    EXPECT_TRUE(installation.Log().Contains(
        "Session Id refused : it holds characters other than letters, digits and -._~+/="));
}
