#include <gtest/gtest.h>
#include <string>

#include "platform/Text.h"
#include "support/HttpPeers.h"
#include "support/Installation.h"
#include "support/ProxyEnvironment.h"
#include "support/QxServer.h"

namespace {

const std::string kFormType = "application/x-www-form-urlencoded\n";
// Nothing listens there: taking port 1 needs root.
const std::wstring kRefused = L"http://127.0.0.1:1/";

class ServiceRequestTest : public ::testing::Test {
protected:
    QxServer server;
    HttpPeers peers = LoadHttpPeers();
    // The echoing peer: it answers with the content type and the body it received. The
    // service name lands in its query text.
    std::wstring Echo() const { return peers.peer + L"/echo?service="; }
};

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The two lines of a failed send to a server where nothing listens (the error code is the
// platform's).
void ExpectRefusedLines(const std::vector<std::string>& lines, const std::string& form,
                        const std::wstring& url, const std::string& object) {
    const std::string narrowUrl(url.begin(), url.end());
    const std::string host = narrowUrl.substr(7, narrowUrl.size() - 8);
    const std::string send = " ... Failed HttpSendRequest POST[" + form + "] \"http://" + host +
                             object + "\" with last error ";
    const auto sendLine = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.rfind(send, 0) == 0;
    });
    ASSERT_NE(sendLine, lines.end()) << send;
    const std::string code =
        sendLine->substr(send.size(), sendLine->find(' ', send.size()) - send.size());
    EXPECT_NE(code, "0");
    EXPECT_EQ(*sendLine, send + code + " on file .\\QXLDownloader, line 719");
    EXPECT_TRUE(Contains(lines, "Query error : " + code + " for server " + narrowUrl));
}

} // namespace

TEST_F(ServiceRequestTest, ValuesTravelRawAndOneThatWouldSplitIsNeverSent) {
    const std::wstring password = L"a+b%c#d=1";
    Installation echo({kRefused, Echo()});
    echo.Client().Login(L"ann", password, std::wstring(L"x%y"));
    EXPECT_EQ(echo.Client().GetResponseBody(),
              std::wstring(kFormType.begin(), kFormType.end()) +
                  L"password=a+b%c#d=1&user=ann&lang=en&oldPasscode=x%y");
    ExpectRefusedLines(ErrorLines(echo.Log()), "password=***&user=ann&lang=en&oldPasscode=***",
                       kRefused, "/P3Login");

    // A value holding "&" would reach the server as two fields: refused before any server.
    Installation split({kRefused, Echo()});
    EXPECT_FALSE(split.Client().ChangePassword(L"ann", password, L"n&w"));
    EXPECT_EQ(ErrorLines(split.Log()),
              std::vector<std::string>{"Request ChangePassword refused : the value of "
                                       "\"password\" holds \"&\", which would split it in the "
                                       "form, nothing sent"});
    EXPECT_TRUE(split.Client().GetResponseBody().empty());

    // The real server reads the values raw: the password logs in as typed.
    Installation install({server.Url()});
    EXPECT_EQ(install.Server().LoginStep(L"amp", password, std::nullopt).result,
              QXLLogin::LoggedIn);
    EXPECT_FALSE(install.Client().GetSessionId().empty());
    EXPECT_TRUE(install.Ui().MessageBoxes().empty());
}

TEST_F(ServiceRequestTest, FailoverOverTwoServersKeepsTheAnsweringOneFirst) {
    Installation install({kRefused, server.Url()});
    ASSERT_EQ(install.Server().LoginStep(L"demo", L"demo", std::nullopt).result,
              QXLLogin::LoggedIn);
    const auto lines = ErrorLines(install.Log());
    ASSERT_EQ(lines.size(), 2u);
    ExpectRefusedLines(lines, "password=***&user=demo&lang=en", kRefused, "/P3Login");
    EXPECT_EQ(install.CurrentServer(), server.Url());

    // The next request goes straight to the server that answered.
    EXPECT_TRUE(install.Server().GetApplicationInfo());
    EXPECT_EQ(ErrorLines(install.Log()).size(), 2u);
}

TEST_F(ServiceRequestTest, FailoverOverThreeServersCountsStatusErrorsAsFailures) {
    const std::wstring notFound = peers.peer + L"/status/404?service=";
    Installation install({kRefused, notFound, server.Url()});
    ASSERT_EQ(install.Server().LoginStep(L"demo", L"demo", std::nullopt).result,
              QXLLogin::LoggedIn);
    const auto lines = ErrorLines(install.Log());
    ASSERT_EQ(lines.size(), 4u);
    ExpectRefusedLines(lines, "password=***&user=demo&lang=en", kRefused, "/P3Login");
    EXPECT_EQ(lines[2], "Status code error : 404");
    EXPECT_EQ(lines[3].rfind("Query error : ", 0), 0u);
    EXPECT_EQ(lines[3].substr(lines[3].find(" for server ")),
              " for server " + std::string(notFound.begin(), notFound.end()));
    EXPECT_EQ(install.CurrentServer(), server.Url());
}

// Headers dripping a line a second, or a body dripping a byte a second, never let the receive
// time-out end the attempt; under the minimum rate over a window it ends as a time-out does,
// with the same lines, and the next server answers.
TEST_F(ServiceRequestTest, DrippingServerTimesOutAndTheNextServerAnswers) {
    struct Case {
        std::wstring url;
        std::string line;      // how the failed step's error line begins
        std::string codeAfter; // what precedes its error code
    };
    const Case cases[] = {
        {peers.drip + L"/drip-headers/1/", " ... Failed HttpSendRequest POST[", "last error "},
        {peers.drip + L"/drip-body/", "Error while retrieving response body : ", " : "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Installation install({c.url, server.Url()});
        install.Client().SetMinimumRateWindow(2000);
        ASSERT_EQ(install.Server().LoginStep(L"demo", L"demo", std::nullopt).result,
                  QXLLogin::LoggedIn);
        const auto lines = ErrorLines(install.Log());
        ASSERT_EQ(lines.size(), 2u);
        ASSERT_EQ(lines[0].rfind(c.line, 0), 0u) << lines[0];
        EXPECT_EQ(lines[1].rfind("Query error : ", 0), 0u) << lines[1];
        const std::size_t code = lines[0].find(c.codeAfter) + c.codeAfter.size();
        EXPECT_TRUE(qxplat::IsTimeoutError(std::stoul(lines[0].substr(code)))) << lines[0];
        EXPECT_EQ(install.CurrentServer(), server.Url());
    }
}

TEST_F(ServiceRequestTest, RedirectsAreFailedAttemptsNeverFollowed) {
    // Each points at a route that would log the user in: on the same peer, and from HTTPS
    // down to plain HTTP on another port.
    const std::pair<std::wstring, std::string> cases[] = {
        {peers.peer + L"/moved/302?service=", "302"},
        {peers.securePeer + L"/moved/307?service=", "307"},
    };
    for (const auto& [url, status] : cases) {
        Installation install({url, server.Url()}, "SecurityIgnoreUnknownCertificate=yes\r\n");
        ASSERT_EQ(install.Server().LoginStep(L"demo", L"demo", std::nullopt).result,
                  QXLLogin::LoggedIn);
        EXPECT_NE(install.Client().GetSessionId(), L"S3ss10n42");
        EXPECT_TRUE(install.Log().Contains("Status code error : " + status));
        EXPECT_EQ(install.CurrentServer(), server.Url());
    }
}

TEST_F(ServiceRequestTest, ServerErrorStatusFailsTheAttemptAndTheNextOneSucceeds) {
    Installation install({server.Url()});
    ASSERT_EQ(install.Server().LoginStep(L"demo", L"demo", std::nullopt).result,
              QXLLogin::LoggedIn);
    for (const char* status : {"500", "404"}) {
        ASSERT_NO_FATAL_FAILURE(server.Fault("GetAppInf", std::string("status=") + status));
        EXPECT_FALSE(install.Server().GetApplicationInfo());
        EXPECT_TRUE(install.Log().Contains(std::string("Status code error : ") + status));
        EXPECT_TRUE(install.Server().GetApplicationInfo());
    }
}

TEST_F(ServiceRequestTest, ProxyCredentialsAreAskedOnceThenSentWithEveryRequest) {
    ProxyEnvironment proxy(peers.proxy);
    Installation install({Echo()});
    install.Ui().QueueProxyCredentials(peers.proxyUser, peers.proxyPassword);
    install.Client().SetSessionId(L"S1");
    ASSERT_TRUE(install.Client().AppUpdateDone());
    EXPECT_EQ(install.Ui().ProxyQuestions(), 1);
    EXPECT_EQ(install.Client().GetProxyUserName(), peers.proxyUser);
    EXPECT_EQ(install.Client().GetProxyPassword(), peers.proxyPassword);
    EXPECT_TRUE(
        install.Log().Contains(" ... WinINet asked for RETRY on POST[sessionid=S1&lang=en]"));
    EXPECT_TRUE(install.Client().Logout());
    EXPECT_EQ(install.Ui().ProxyQuestions(), 1);
}

TEST_F(ServiceRequestTest, WrongProxyCredentialsFailCleanly) {
    ProxyEnvironment proxy(peers.proxy);
    Installation install({Echo()});
    install.Ui().QueueProxyCredentials(peers.proxyUser, L"wrong");
    install.Client().SetSessionId(L"S1");
    EXPECT_FALSE(install.Client().Logout());
    // Asked again after the refusal, and declined.
    EXPECT_EQ(install.Ui().ProxyQuestions(), 2);
    EXPECT_TRUE(install.Log().Contains("Status code error : 407"));
}

TEST_F(ServiceRequestTest, ProxyRefusingEveryAnswerIsAskedThreeTimesOnly) {
    ProxyEnvironment proxy(peers.proxy);
    Installation install({Echo()});
    for (int i = 0; i < 10; ++i)
        install.Ui().QueueProxyCredentials(peers.proxyUser, L"wrong");
    install.Client().SetSessionId(L"S1");
    EXPECT_FALSE(install.Client().Logout());
    EXPECT_EQ(install.Ui().ProxyQuestions(), 3);
    EXPECT_TRUE(install.Log().Contains("Status code error : 407"));
}

TEST_F(ServiceRequestTest, SelfSignedCertificatePassesOnlyWithTheLeniencySetting) {
    Installation strict({server.TlsUrl()});
    EXPECT_NE(strict.Server().LoginStep(L"demo", L"demo", std::nullopt).result, QXLLogin::LoggedIn);
    EXPECT_TRUE(strict.Client().GetSessionId().empty());

    Installation lenient({server.TlsUrl()}, "SecurityIgnoreUnknownCertificate=yes\r\n");
    EXPECT_EQ(lenient.Server().LoginStep(L"demo", L"demo", std::nullopt).result,
              QXLLogin::LoggedIn);
    EXPECT_TRUE(lenient.Server().GetApplicationInfo());
    EXPECT_EQ(lenient.Ui().CertificateQuestions(), 0);
}

// By name, as Windows checks no IP address against the certificate. Each test runs in a process
// of its own: WinINet remembers for the process what it once let through.
std::wstring TlsByName(const QxServer& server) {
    std::wstring url = server.TlsUrl();
    return url.replace(url.find(L"127.0.0.1"), 9, L"localhost");
}

TEST_F(ServiceRequestTest, CompanyAuthorityFileIsTrustedBesideTheSystemStore) {
    Installation install({TlsByName(server)},
                         "SecurityCAFile=" + qxplat::ToNarrow(server.StateFile("cert.pem")) +
                             "\r\n");
    EXPECT_EQ(install.Server().LoginStep(L"demo", L"demo", std::nullopt).result,
              QXLLogin::LoggedIn);
    EXPECT_TRUE(install.Server().GetApplicationInfo());
    EXPECT_EQ(install.Ui().CertificateQuestions(), 0);
}

TEST_F(ServiceRequestTest, AuthorityFileThatDoesNotVouchForTheServerTrustsNothing) {
    for (const char* file : {"", "key.pem", "other-ca.pem", "other-ca.pem"}) {
        const std::string key =
            *file ? "SecurityCAFile=" + qxplat::ToNarrow(server.StateFile(file)) + "\r\n" : "";
        Installation install({TlsByName(server)}, key);
        EXPECT_NE(install.Server().LoginStep(L"demo", L"demo", std::nullopt).result,
                  QXLLogin::LoggedIn)
            << file;
        EXPECT_TRUE(install.Client().GetSessionId().empty()) << file;
    }
}

// Beside the lines above, each failed attempt gets one that says, in words, the URL, what
// failed and what to check: the platform's error codes are told apart as well as statuses.
TEST_F(ServiceRequestTest, EveryFailedAttemptLogsOnePlainLine) {
    const std::wstring tls = server.TlsUrl();
    const struct {
        std::wstring url;
        std::string object; // what the line names after the host
        std::string what;
        std::string check;
    } cases[] = {
        {kRefused, "/Logout", "the connection was refused", "check the port in qxurl.net"},
        {peers.peer + L"/status/404?service=", "/status/404?service=Logout",
         "the server has no such service (status 404)", "check the URL's base path"},
        {peers.peer + L"/status/302?service=", "/status/302?service=Logout",
         "the server redirects elsewhere", "put the URL it redirects to"},
        {tls, "/Logout", "the server's certificate is not trusted",
         "check the certificate's authority"},
        {L"https" + server.Url().substr(4), "/Logout", "no secure (TLS) connection",
         "check that the port serves HTTPS"},
    };
    for (const auto& c : cases) {
        Installation install({c.url});
        install.Client().SetSessionId(L"S1");
        EXPECT_FALSE(install.Client().Logout());
        const std::string text = install.Log().Text();
        const std::string url = qxplat::ToNarrow(c.url);
        const std::string start =
            "Request failed : " + url.substr(0, url.find('/', 8)) + c.object + " : " + c.what;
        const std::size_t at = text.find(start);
        ASSERT_NE(at, std::string::npos) << start << "\n" << text;
        const std::string line = text.substr(at, text.find('\n', at) - at);
        EXPECT_NE(line.find(" : " + c.check), std::string::npos) << line;
    }
}
