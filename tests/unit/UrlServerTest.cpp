#include <climits>
#include <gtest/gtest.h>

#include "config/QXUrlServer.h"

namespace {

struct Split {
    const wchar_t* url;
    int secure;
    const wchar_t* host;
    int port;
    const wchar_t* path;
};

void ExpectSplit(const Split& expected) {
    CQXUrlServer server;
    server.SetUrl(expected.url);
    SCOPED_TRACE(testing::Message()
                 << "URL " << testing::PrintToString(std::wstring(expected.url)));
    EXPECT_EQ(server.GetUrl(), expected.url);
    EXPECT_EQ(server.IsSecure(), expected.secure);
    EXPECT_EQ(server.GetHost(), expected.host);
    EXPECT_EQ(server.GetPort(), expected.port);
    EXPECT_EQ(server.GetPath(), expected.path);
}

} // namespace

TEST(UrlServerTest, SplitsSchemeHostPortAndPath) {
    const Split cases[] = {
        {L"https://server.example", 1, L"server.example", 443, L"/"},
        {L"http://server.example:8080/x/", 0, L"server.example", 8080, L"/x/"},
        {L"http://127.0.0.1:8081/qx/", 0, L"127.0.0.1", 8081, L"/qx/"},
        {L"HTTPS://Server.Example/App/", 1, L"Server.Example", 443, L"/App/"},
        {L"https://h:8443", 1, L"h", 8443, L"/"},
        {L"http://h/cgi/run?x=1&y=/z", 0, L"h", 80, L"/cgi/run?x=1&y=/z"},
        {L"http://h/app", 0, L"h", 80, L"/app"},
    };
    for (const Split& expected : cases)
        ExpectSplit(expected);
}

TEST(UrlServerTest, ReadsOnlyTheLeadingDigitsOfThePort) {
    const Split cases[] = {
        {L"http://h:abc/", 0, L"h", 0, L"/"},
        {L"http://h:/", 0, L"h", 0, L"/"},
        {L"https://h:/", 1, L"h", 0, L"/"},
        {L"http://h:80ab/p", 0, L"h", 80, L"/p"},
        {L"http://h:99999999999999/", 0, L"h", INT_MAX, L"/"},
    };
    for (const Split& expected : cases)
        ExpectSplit(expected);
}

TEST(UrlServerTest, KeepsTheDefaultsWithoutAnythingAfterTheScheme) {
    const Split cases[] = {
        {L"server.example/x", 0, L"", 80, L""},
        {L"http://", 0, L"", 80, L""},
        {L"https:server", 1, L"", 80, L""},
        {L"", 0, L"", 80, L""},
    };
    for (const Split& expected : cases)
        ExpectSplit(expected);
    CQXUrlServer server;
    EXPECT_EQ(server.IsReachable(), 1);
}
