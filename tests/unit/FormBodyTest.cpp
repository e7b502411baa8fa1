#include <gtest/gtest.h>
#include <thread>

#include "base/QXEvent.h"
#include "protocol/QXLFormBody.h"

TEST(FormBody, JoinsPairsInOrderAndKeepsEmptyValues) {
    CQXLFormBody body;
    body.Add(L"sessionid", L"S1").Add(L"application", L"").Add(L"lang", L"fr");
    EXPECT_EQ(body.Text(), L"sessionid=S1&application=&lang=fr");
}

TEST(FormBody, SendsValuesRawAndNamesTheFirstFieldAnAmpersandWouldSplit) {
    CQXLFormBody body;
    body.Add(L"password", L"a+b%c#d=e\t").Add(L"user", L"Jos\u00e9 d'Arc");
    EXPECT_EQ(body.Text(), L"password=a+b%c#d=e\t&user=Jos\u00e9 d'Arc");
    EXPECT_TRUE(body.SplitField().empty());
    body.Add(L"application", L"R&D").Add(L"version", L"1&2");
    EXPECT_EQ(body.SplitField(), L"application");
}

TEST(FormBody, NeverLogsTheValuesOfPasswordFields) {
    CQXLFormBody body;
    body.Add(L"password", L"new&1")
        .Add(L"confirmpassword", L"new&1")
        .Add(L"oldpassword", L"old")
        .Add(L"user", L"ann")
        .Add(L"lang", L"en")
        .Add(L"oldPasscode", L"123456");
    EXPECT_EQ(body.LogText(), L"password=***&confirmpassword=***&oldpassword=***&user=ann&lang=en"
                              L"&oldPasscode=***");
    EXPECT_NE(body.Text().find(L"oldPasscode=123456"), std::wstring::npos);
}

TEST(Event, StaysSetUntilResetAndReleasesWaiters) {
    CQXEvent event;
    EXPECT_FALSE(event.WaitFor(std::chrono::milliseconds(0)));
    std::thread setter([&event] { event.Set(); });
    EXPECT_TRUE(event.WaitFor(std::chrono::hours(1)));
    setter.join();
    EXPECT_TRUE(event.IsSet());
    EXPECT_TRUE(event.WaitFor(std::chrono::milliseconds(0)));
    event.Reset();
    EXPECT_FALSE(event.IsSet());
}
