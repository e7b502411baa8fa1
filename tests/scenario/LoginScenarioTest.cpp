#include <gtest/gtest.h>

#include "scenario/LaunchScenario.h"
#include "support/Environment.h"
#include "support/HttpPeers.h"
#include "support/ProxyEnvironment.h"
#include "support/QxServer.h"
#include "ui/QXLAceNewPinDlg.h"
#include "ui/QXLAceNextPasscodeDlg.h"
#include "ui/QXLAuthenDlg.h"
#include "ui/QXLChangePwdDlg.h"

namespace {

using Starts = std::vector<std::vector<std::string>>;

QXLEditTexts Login(const std::wstring& user, const std::wstring& password) {
    return {{CQXLAuthenDlg::kEditLogin, user}, {CQXLAuthenDlg::kEditPassword, password}};
}

// Logins against the fixture's server, for the application SeqStay (no update allowed), so
// that every successful login ends with the stand-in started.
class LoginScenarioTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (m_server.Url().empty())
            GTEST_SKIP();
        PrepareApplications(m_server);
        m_before = m_server.LogLineCount();
    }

    std::unique_ptr<LaunchScenario> Scenario(const std::string& launcherLines = "",
                                             const std::string& configLines = "") {
        auto scenario = std::make_unique<LaunchScenario>(
            LaunchScenario::Config(m_server.Url(), "SeqStay", launcherLines, configLines));
        // The single-instance test finds nothing; every later look finds the window.
        scenario->Windows().Queue({false});
        return scenario;
    }
    testing::AssertionResult Served(const std::string& service, std::size_t expected,
                                    const std::string& user = "") const {
        return ::Served(m_server, m_before, service, expected, user);
    }

    QxServer m_server;
    std::size_t m_before = 0;
};

} // namespace

TEST_F(LoginScenarioTest, CommandLineCredentialsLogInWithoutADialogAndStartTheApplication) {
    auto run = Scenario();
    EXPECT_EQ(run->Run(L"-serverLogin demo -serverPassword demo"), 0);
    EXPECT_TRUE(run->Ui().Dialogs().empty());
    EXPECT_TRUE(run->Ui().MessageBoxes().empty()) << "demo's password is far from expiring";
    EXPECT_TRUE(Served("P3Login", 1, "demo"));

    const std::string session = Narrow(run->Process().GetServerClient().GetSessionId());
    ASSERT_EQ(session.size(), 32u);
    EXPECT_EQ(run->Starts(), (Starts{{"-CS", session, "demo"}}));

    EXPECT_EQ(run->Positions(), (std::vector<int>{20, 40, 60, 80, 1000}));
    EXPECT_EQ(run->WindowEvents(), (std::vector<std::string>{"range 0-1000", "show", "close"}));
    EXPECT_EQ(run->StatusTexts(),
              (std::vector<std::string>{EnglishText(22), EnglishText(23), EnglishText(24),
                                        "Starting Seq Stay, please wait..."}));

    for (const char* step :
         {"Login", "ExtendSession", "GetAppInf", "GetAppVersionList", "GetAppPrimary"}) {
        EXPECT_EQ(run->LogCount(std::string("/// Begin ") + step + " \\\\\\"), 1) << step;
        EXPECT_EQ(run->LogCount(std::string("\\\\\\ End ") + step + " ///"), 1) << step;
    }
    EXPECT_TRUE(run->LogHas("END : no update allowed"));
    EXPECT_TRUE(run->LogHas("Window of qxflux.exe has been found"));
    EXPECT_TRUE(Served("GetAppChecksum", 0));
}

TEST_F(LoginScenarioTest, AWrongPasswordTwiceEndsWithoutStartingAnything) {
    auto typed = Scenario();
    typed->TypeAndConfirm(CQXLAuthenDlg::kTemplate, Login(L"demo", L"wrong"));
    typed->TypeAndConfirm(CQXLAuthenDlg::kTemplate, Login(L"demo", L"wrong again"));
    EXPECT_EQ(typed->Run(L""), 0);
    // The login is forgotten after a refusal, so the second try asks again.
    EXPECT_EQ(typed->DialogTemplates(), (std::vector<int>{131, 131}));
    const std::vector<SQXLMessageBoxRecord> boxes = typed->Ui().MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    for (const SQXLMessageBoxRecord& box : boxes) {
        EXPECT_EQ(Narrow(box.text).substr(Narrow(box.text).size() - 4), " (1)");
        EXPECT_EQ(box.owner, QXLBoxOwner::None);
    }
    EXPECT_EQ(typed->LogCount("Login error : -1"), 2);
    EXPECT_TRUE(Served("P3Login", 2));
    EXPECT_TRUE(Served("ExtendSession", 0));
    EXPECT_TRUE(typed->Starts().empty());
    EXPECT_EQ(typed->Positions(), (std::vector<int>{20, 1000}));

    // A wrong password from the command line goes out at once; the second try asks.
    auto given = Scenario();
    given->TypeAndConfirm(CQXLAuthenDlg::kTemplate, Login(L"demo", L"still wrong"));
    EXPECT_EQ(given->Run(L"-serverLogin demo -serverPassword nope"), 0);
    EXPECT_EQ(given->DialogTemplates(), (std::vector<int>{131}));
    EXPECT_TRUE(Served("P3Login", 4));
    EXPECT_TRUE(given->Starts().empty());
}

TEST_F(LoginScenarioTest, ACancelInEitherDialogEndsTheLoginAtOnce) {
    auto first = Scenario();
    first->Cancel(CQXLAuthenDlg::kTemplate);
    EXPECT_EQ(first->Run(L""), 0);
    EXPECT_TRUE(first->LogHas("END : Login cancelled by user"));
    EXPECT_TRUE(Served("P3Login", 0));
    EXPECT_TRUE(first->Starts().empty());

    auto second = Scenario();
    second->TypeAndConfirm(CQXLAuthenDlg::kTemplate, Login(L"demo", L"wrong"));
    second->Cancel(CQXLAuthenDlg::kTemplate);
    EXPECT_EQ(second->Run(L""), 0);
    EXPECT_EQ(second->DialogTemplates(), (std::vector<int>{131, 131}));
    EXPECT_TRUE(Served("P3Login", 1));
    EXPECT_EQ(second->LogCount("Login error : "), 1);
    EXPECT_TRUE(second->LogHas("END : Login cancelled by user"));
    EXPECT_TRUE(second->Starts().empty());
}

TEST_F(LoginScenarioTest, TheLoginVariableNamesTheUserOrStopsWithBoxSix) {
    for (const std::optional<std::string>& value :
         {std::optional<std::string>(), std::optional<std::string>("")}) {
        SetTestEnvironment("QX_SEQ_LOGIN", value);
        auto run = Scenario("LoginVariable=QX_SEQ_LOGIN\r\n");
        EXPECT_EQ(run->Run(L"-serverLogin demo -serverPassword demo"), 0);
        EXPECT_TRUE(run->LogHas("PARAM : LoginVariable is set to QX_SEQ_LOGIN"));
        EXPECT_TRUE(run->LogHas("Environment variable QX_SEQ_LOGIN is not found"));
        EXPECT_TRUE(run->Ui().Dialogs().empty());
        const std::vector<SQXLMessageBoxRecord> boxes = run->Ui().MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(Narrow(boxes[0].text), EnglishText(147) + " (6)");
        EXPECT_EQ(Narrow(boxes[0].caption), EnglishText(1));
        EXPECT_EQ(boxes[0].flags, kQXMbOk | kQXMbIconHand | kQXMbSystemModal);
        EXPECT_EQ(boxes[0].owner, QXLBoxOwner::None);
        EXPECT_TRUE(run->Starts().empty());
    }
    // A value too long for the system's buffer counts as missing too.
    SetTestEnvironment("QX_SEQ_LOGIN", std::string(260, 'u'));
    EXPECT_EQ(Scenario("LoginVariable=QX_SEQ_LOGIN\r\n")->Run(L""), 0);
    EXPECT_TRUE(Served("P3Login", 0));
    EXPECT_TRUE(Served("P3SSO", 0));

    SetTestEnvironment("QX_SEQ_LOGIN", std::string("sso"));
    auto sso = Scenario("LoginVariable=QX_SEQ_LOGIN\r\n", "SSO=Yes\r\n");
    EXPECT_EQ(sso->Run(L""), 0);
    EXPECT_TRUE(sso->LogHas("Value of LoginVariable is sso"));
    EXPECT_TRUE(Served("P3SSO", 1, "sso"));
    ASSERT_EQ(sso->Starts().size(), 1u);
    EXPECT_EQ(sso->Starts()[0].back(), "sso");
    SetTestEnvironment("QX_SEQ_LOGIN", std::nullopt);
}

TEST_F(LoginScenarioTest, AnExpiredPasswordIsChangedInTheDialogWithoutAnotherLogin) {
    auto run = Scenario();
    run->TypeAndConfirm(CQXLChangePwdDlg::kTemplate, {{CQXLChangePwdDlg::kEditPassword, L"fresh"},
                                                      {CQXLChangePwdDlg::kEditVerify, L"fresh"}});
    EXPECT_EQ(run->Run(L"-serverLogin seq-expired -serverPassword old"), 0);
    EXPECT_EQ(run->DialogTemplates(), (std::vector<int>{CQXLChangePwdDlg::kTemplate}));
    EXPECT_TRUE(run->LogHas("Login error : password expired"));
    EXPECT_TRUE(Served("P3Login", 1));
    EXPECT_TRUE(Served("ChangePassword", 1));
    ASSERT_EQ(run->Starts().size(), 1u);
    EXPECT_EQ(run->Starts()[0].back(), "seq-expired");
}

TEST_F(LoginScenarioTest, TokenUsersGiveANewPinOrTheNextPasscodeAndLogIn) {
    auto pin = Scenario();
    pin->TypeAndConfirm(CQXLAceNewPinDlg::kTemplate, {{CQXLAceNewPinDlg::kEditPin, L"1234"},
                                                      {CQXLAceNewPinDlg::kEditVerify, L"1234"}});
    EXPECT_EQ(pin->Run(L"-serverLogin seq-pin -serverPassword 111111"), 0);
    EXPECT_EQ(pin->DialogTemplates(), (std::vector<int>{CQXLAceNewPinDlg::kTemplate}));
    EXPECT_TRUE(pin->LogHas("Login ACE : next pin required"));
    EXPECT_TRUE(Served("P3Login", 2));
    EXPECT_EQ(pin->Starts().size(), 1u);

    auto passcode = Scenario();
    passcode->TypeAndConfirm(CQXLAceNextPasscodeDlg::kTemplate,
                             {{CQXLAceNextPasscodeDlg::kEditPasscode, L"333333"}});
    EXPECT_EQ(passcode->Run(L"-serverLogin seq-code -serverPassword 222222"), 0);
    EXPECT_EQ(passcode->DialogTemplates(), (std::vector<int>{CQXLAceNextPasscodeDlg::kTemplate}));
    EXPECT_TRUE(passcode->LogHas("Login ACE : next passcode required"));
    EXPECT_TRUE(Served("P3Login", 4));
    EXPECT_EQ(passcode->Starts().size(), 1u);
}

TEST_F(LoginScenarioTest, AnUnreachableServerEndsWithExitCodeOne) {
    LaunchScenario run(LaunchScenario::Config(L"http://127.0.0.1:1/", "SeqStay"));
    run.Windows().SetDefault(false);
    run.Cancel(CQXLAuthenDlg::kTemplate);
    EXPECT_EQ(run.Run(L"-serverLogin demo -serverPassword demo"), 1);
    EXPECT_TRUE(run.LogHas("Login error : -9999"));
    ASSERT_EQ(run.Ui().MessageBoxes().size(), 1u);
    EXPECT_EQ(Narrow(run.Ui().MessageBoxes()[0].text), EnglishText(6) + " (2)");
    EXPECT_EQ(run.DialogTemplates(), (std::vector<int>{131})) << "the dialog is shown once more";
    EXPECT_TRUE(run.Starts().empty());
}

// Behind the fixture's squid, which wants credentials, to the server's twin with a
// self-signed certificate: the user gives the credentials and accepts the certificate once.
TEST_F(LoginScenarioTest, BehindAnAuthenticatingProxyTheUserLogsInToASelfSignedServer) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine's WinINet sends the request outside the tunnel after a refused CONNECT";
#endif
    const HttpPeers peers = LoadHttpPeers();
    ProxyEnvironment proxy(peers.proxy);
    LaunchScenario run(LaunchScenario::Config(m_server.TlsUrl(), "SeqStay"));
    run.Windows().Queue({false});
    run.Ui().QueueProxyCredentials(peers.proxyUser, peers.proxyPassword);
    run.Ui().SetAcceptCertificates(true);
    EXPECT_EQ(run.Run(L"-serverLogin demo -serverPassword demo"), 0);
    ASSERT_EQ(run.Starts().size(), 1u);
    // Asked once each for the whole run: the login, the keep-alive and the later services.
    EXPECT_EQ(run.Ui().ProxyQuestions(), 1);
    ASSERT_EQ(run.Ui().CertificateQuestions(), 1);
    EXPECT_EQ(run.Ui().CertificatesShown()[0].subject, L"CN=127.0.0.1");
}

// Refusing either question fails the login and starts nothing: the proxy's refusal stands as
// a status, the certificate's as a network failure (exit code 1). One process each, as Wine's
// WinINet keeps the proxy setting it first read.
TEST_F(LoginScenarioTest, RefusingTheCertificateQuestionStartsNothing) {
    LaunchScenario run(LaunchScenario::Config(m_server.TlsUrl(), "SeqStay"));
    run.Windows().Queue({false});
    EXPECT_EQ(run.Run(L"-serverLogin demo -serverPassword demo"), 1);
    EXPECT_TRUE(run.Starts().empty());
    EXPECT_EQ(run.Ui().CertificateQuestions(), 1);
}

TEST_F(LoginScenarioTest, RefusingTheProxyQuestionStartsNothing) {
    ProxyEnvironment proxy(LoadHttpPeers().proxy);
    LaunchScenario run(LaunchScenario::Config(m_server.Url(), "SeqStay"));
    run.Windows().Queue({false});
    EXPECT_EQ(run.Run(L"-serverLogin demo -serverPassword demo"), 0);
    EXPECT_TRUE(run.Starts().empty());
    EXPECT_EQ(run.Ui().ProxyQuestions(), 1);
}
