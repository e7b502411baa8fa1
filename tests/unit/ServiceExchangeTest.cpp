#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "protocol/QXLDownloader.h"
#include "support/InProcessTransport.h"
#include "support/Installation.h"
#include "support/TestLog.h"
#include "support/UrlConfiguration.h"
#include "support/WireLocale.h"

namespace {

// Refused in the process, as where nothing listens.
const std::wstring kRefused = L"http://127.0.0.1:1/";
const std::wstring kEcho = L"http://127.0.0.1:8082/";
constexpr unsigned short kEchoPort = 8082;

// Echoes the body on the echo server; refuses port 1; answers status 500 elsewhere.
InProcessReply Answer(const InProcessRequest& request) {
    if (request.port == 1)
        return InProcessFailing(InProcessFailure::RefusedConnect);
    return request.port == kEchoPort ? InProcessAnswer(200, request.body)
                                     : InProcessAnswer(500, "failing");
}

// A downloader whose request servers are urls (then extraLines in qxurl.net), each of its
// requests answered in the process by answer.
class ServiceClient {
public:
    explicit ServiceClient(const std::vector<std::wstring>& urls,
                           InProcessTransport::Handler answer = Answer,
                           const std::string& extraLines = "", QXLanguageBase base = kQXEnglishBase)
        : m_transport(std::move(answer)), m_config(Servers(urls) + extraLines),
          m_client(m_log.Log(), base, m_transport) {
        m_client.SetConfiguration(&m_config.Config());
    }
    CQXLDownloader& Client() { return m_client; }
    TestLog& Log() { return m_log; }
    std::wstring CurrentServer() {
        return m_config.Config().GetServerList().GetCurrentServer()->GetUrl();
    }

private:
    static std::string Servers(const std::vector<std::wstring>& urls) {
        std::string lines;
        for (std::size_t i = 0; i < urls.size(); ++i)
            lines += "URL" + std::to_string(i + 1) + "=" + qxplat::ToNarrow(urls[i]) + "\r\n";
        return lines;
    }

    InProcessTransport m_transport;
    TestLog m_log;
    UrlConfiguration m_config;
    CQXLDownloader m_client;
};

} // namespace

TEST(ServiceExchangeTest, EveryServiceSendsItsFieldsInOrderInEachLanguage) {
    const std::pair<QXLanguageBase, std::string> languages[] = {
        {kQXEnglishBase, "en"}, {kQXFrenchBase, "fr"}, {kQXJapaneseBase, "ja"}};
    for (const auto& [base, lang] : languages) {
        ServiceClient install({kEcho}, Answer, "[QXLauncher]\r\nApplicationName=Demo\r\n", base);
        CQXLDownloader& client = install.Client();
        const auto echoed = [&] { return client.GetResponseBody(); };
        const std::wstring code(lang.begin(), lang.end());
        client.Login(L"ann", L"pw", std::nullopt);
        EXPECT_EQ(echoed(), L"password=pw&user=ann&lang=" + code);
        client.Login(L"ann", L"123456", std::wstring(L"pw"));
        EXPECT_EQ(echoed(), L"password=123456&user=ann&lang=" + code + L"&oldPasscode=pw");
        client.ChangePassword(L"ann", L"old", L"new");
        EXPECT_EQ(echoed(), L"password=new&confirmpassword=new&oldpassword=old&user=ann"
                            L"&out=qx&lang=" +
                                code);
        client.SetSessionId(L"S1");
        ASSERT_TRUE(client.GetAppInf());
        EXPECT_EQ(echoed(), L"sessionid=S1&application=Demo&lang=" + code);
        client.SetVersionName(L"2.0");
        ASSERT_TRUE(client.GetAppVersionList());
        EXPECT_EQ(echoed(), L"sessionid=S1&applicationname=Demo&lang=" + code);
        ASSERT_TRUE(client.GetAppPrimary());
        EXPECT_EQ(echoed(), L"sessionid=S1&applicationname=Demo&versionname=2.0&lang=" + code);
        ASSERT_TRUE(client.GetAppChecksum());
        EXPECT_EQ(echoed(), L"sessionid=S1&application=Demo&version=2.0&lang=" + code);
        ASSERT_TRUE(client.AppUpdateDone());
        EXPECT_EQ(echoed(), L"sessionid=S1&lang=" + code);
        ASSERT_TRUE(client.Logout());
        EXPECT_EQ(echoed(), L"sessionid=S1&lang=" + code);
    }
    // Without a configured application name the information request names none.
    ServiceClient install({kEcho}, Answer, "", kQXFrenchBase);
    install.Client().SetSessionId(L"S2");
    ASSERT_TRUE(install.Client().GetAppInf());
    EXPECT_EQ(install.Client().GetResponseBody(), L"sessionid=S2");
}

TEST(ServiceExchangeTest, WithoutConfigurationNothingIsSentOrLogged) {
    TestLog log;
    CQXLDownloader client(log.Log(), kQXEnglishBase);
    EXPECT_FALSE(client.Logout());
    EXPECT_FALSE(log.Contains("**"));
}

TEST(ServiceExchangeTest, EveryServerFailingFailsTheRequestAfterOneRound) {
    ServiceClient install({kRefused, L"http://127.0.0.1:8081/"});
    install.Client().SetSessionId(L"S1");
    EXPECT_FALSE(install.Client().Logout());
    EXPECT_EQ(ErrorLines(install.Log()).size(), 4u);
    // A later request tries every server again.
    EXPECT_FALSE(install.Client().Logout());
    EXPECT_EQ(ErrorLines(install.Log()).size(), 8u);
}

TEST(ServiceExchangeTest, CharacterCutByAReadBoundaryComesOutWhole) {
    // A Japanese refusal in code page 932, placed so that the 1024-byte reads cut its first
    // character; a Japanese launcher reads it so on every platform.
    const std::wstring text = L"\u30ED\u30B0\u30A4\u30F3\u3067\u304D\u307E\u305B\u3093";
    const std::string cp932 = "\x83\x8D\x83\x4F\x83\x43\x83\x93\x82\xC5\x82\xAB\x82"
                              "\xDC\x82\xB9\x82\xF1";
    for (int pad : {1022, 1023}) {
        const std::string padding(static_cast<std::size_t>(pad), 'a');
        ServiceClient install({kEcho}, [&](const InProcessRequest&) {
            return InProcessAnswer(200, padding + cp932);
        });
        install.Client().SetLanguage(kQXJapaneseBase);
        const ScopedWireLocale japanese("ja_JP.UTF-8", 0x0411);
        install.Client().SetSessionId(L"S1");
        EXPECT_TRUE(install.Client().Logout());
        EXPECT_EQ(install.Client().GetResponseBody(),
                  std::wstring(padding.begin(), padding.end()) + text)
            << pad;
    }
}

TEST(ServiceExchangeTest, ReplyOverTheSizeCapIsAFailedAttempt) {
    constexpr std::size_t kCap = 16 * 1024 * 1024;
    const std::wstring huge = L"http://127.0.0.1:8081/";
    ServiceClient install({huge, kEcho}, [&](const InProcessRequest& request) {
        return request.port == kEchoPort ? Answer(request)
                                         : InProcessAnswer(200, std::string(kCap + 1, 'x'));
    });
    install.Client().SetSessionId(L"S1");
    ASSERT_TRUE(install.Client().Logout());
    EXPECT_TRUE(install.Log().Contains("Error while retrieving response body : larger than " +
                                       std::to_string(kCap) + " bytes"));
    EXPECT_EQ(install.Client().GetResponseBody(), L"sessionid=S1&lang=en");
    EXPECT_EQ(install.CurrentServer(), kEcho);
}
