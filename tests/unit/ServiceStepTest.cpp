#include <gtest/gtest.h>

#include "platform/LanguageTexts.h"
#include "support/HttpPeers.h"
#include "support/Installation.h"
#include "support/QxServer.h"
#include "support/WireLocale.h"

namespace {

constexpr unsigned kErrorBoxFlags = kQXMbIconHand | kQXMbSystemModal;

class ServiceStepTest : public ::testing::Test {
protected:
    QxServer server;
    HttpPeers peers = LoadHttpPeers();
};

void ExpectOneBox(Installation& install, const std::wstring& text, QXLanguageBase base) {
    const auto boxes = install.Ui().MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].caption, QXLoadText(base, kQXTextCaption));
    EXPECT_EQ(boxes[0].flags, kErrorBoxFlags);
}

} // namespace

TEST_F(ServiceStepTest, SessionIdIsTakenFromTheMiddleOfThreeCookies) {
    Installation install({peers.peer + L"/cookie?service="});
    EXPECT_EQ(install.Server().LoginStep(L"ann", L"pw", std::nullopt).result, QXLLogin::LoggedIn);
    EXPECT_EQ(install.Client().GetSessionId(), L"S3ss10n42");
    EXPECT_EQ(install.Server().GetSessionUserName(), L"ann");
}

TEST_F(ServiceStepTest, LoginWithoutSessionCookieFailsAsAnUnknownError) {
    Installation install({peers.peer + L"/echo?service="});
    EXPECT_EQ(install.Server().LoginStep(L"ann", L"pw", std::nullopt).serverCode, std::nullopt);
    EXPECT_TRUE(install.Client().GetSessionId().empty());
    EXPECT_TRUE(install.Log().Contains("Session Id not found"));
    EXPECT_TRUE(install.Log().Contains("Unknown error : application/x-www-form-urlencoded"));
    ExpectOneBox(install, L"Unknown error (2)", kQXEnglishBase);
}

TEST_F(ServiceStepTest, RefusalShowsTheServersDescriptionInTheUsersLanguage) {
    const std::pair<QXLanguageBase, std::wstring> cases[] = {
        {kQXEnglishBase, L"Wrong user name or password. (1)"},
        {kQXFrenchBase, L"Nom d'utilisateur ou mot de passe incorrect. (1)"},
        {kQXJapaneseBase,
         L"\u30e6\u30fc\u30b6\u30fc\u540d\u307e\u305f\u306f\u30d1\u30b9\u30ef\u30fc\u30c9\u304c"
         L"\u6b63\u3057\u304f\u3042\u308a\u307e\u305b\u3093\u3002 (1)"},
    };
    for (const auto& [base, text] : cases) {
        Installation install({server.Url()}, "", base);
        EXPECT_EQ(install.Server().LoginStep(L"demo", L"wrong", std::nullopt).serverCode, -1);
        ExpectOneBox(install, text, base);
    }
}

TEST_F(ServiceStepTest, ExpiredPasswordIsChangedWithoutABoxAndOpensANewSession) {
    Installation install({server.Url()});
    EXPECT_EQ(install.Server().LoginStep(L"expired", L"old", std::nullopt).serverCode, -1207);
    EXPECT_TRUE(install.Ui().MessageBoxes().empty());

    // Refused by the server: the new password must differ from the old one.
    EXPECT_EQ(install.Server().ChangePasswordStep(L"expired", L"old", L"old").serverCode, -3);
    ExpectOneBox(install, L"The new password was refused. (1)", kQXEnglishBase);

    EXPECT_EQ(install.Server().ChangePasswordStep(L"expired", L"old", L"n+w").result,
              QXLLogin::LoggedIn);
    EXPECT_FALSE(install.Client().GetSessionId().empty());
    EXPECT_TRUE(install.Server().GetApplicationInfo());
    EXPECT_EQ(install.Server().LoginStep(L"expired", L"n+w", std::nullopt).result,
              QXLLogin::LoggedIn);
}

TEST_F(ServiceStepTest, PasswordChangeReturningTheSameSessionIsRefused) {
    Installation install({peers.peer + L"/cookie?service="});
    EXPECT_EQ(install.Server().ChangePasswordStep(L"ann", L"old", L"new").result,
              QXLLogin::LoggedIn);
    EXPECT_EQ(install.Server().ChangePasswordStep(L"ann", L"new", L"newer").serverCode,
              std::nullopt);
    ExpectOneBox(install, L"Unknown error (2)", kQXEnglishBase);
}

TEST_F(ServiceStepTest, LoginThatReachesNoServerIsAnUnknownErrorNotTheEarlierRefusal) {
    Installation install({server.Url()});
    EXPECT_EQ(install.Server().LoginStep(L"demo", L"wrong", std::nullopt).serverCode, -1);
    ASSERT_NO_FATAL_FAILURE(server.Fault("P3Login", "status=500"));
    EXPECT_EQ(install.Server().LoginStep(L"demo", L"demo", std::nullopt).serverCode, std::nullopt);
    const auto boxes = install.Ui().MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, L"Unknown error (2)");
    EXPECT_TRUE(install.Log().Contains("Unknown error : empty response body"));
}

TEST_F(ServiceStepTest, RefusalBodiesWithoutDescriptionOrCode) {
    Installation install({server.Url()});
    CQXLServerClient& client = install.Server();
    EXPECT_EQ(client.ShowServerError(L"Code=-3\n"), -3);
    EXPECT_EQ(client.ShowServerError(L"Code=-3\nDescription=no line end"), -3);
    EXPECT_EQ(client.ShowServerError(L"Code=-1207\nDescription=Expired\n"), -1207);
    EXPECT_TRUE(install.Ui().MessageBoxes().empty());
    EXPECT_EQ(client.ShowServerError(L""), std::nullopt);
    EXPECT_EQ(client.ShowServerError(L"Code=-3"), std::nullopt);
    EXPECT_TRUE(install.Log().Contains("Unknown error : empty response body"));
    EXPECT_EQ(install.Ui().MessageBoxes().size(), 2u);
}

TEST_F(ServiceStepTest, HostileRefusalsShowABoundedTextAndNoWrappedCode) {
    Installation install({server.Url()});
    CQXLServerClient& client = install.Server();
    const std::wstring exact(1000, L'd');
    const std::wstring huge(10 * 1024 * 1024, L'x');
    EXPECT_EQ(client.ShowServerError(L"Code=-5\nDescription=" + exact + L"\n"), -5);
    EXPECT_EQ(client.ShowServerError(L"Code=-6\nDescription=" + huge + L"\n"), -6);
    EXPECT_EQ(client.ShowServerError(L"Code=-99999999999999999999\nDescription=wrapped\n"),
              std::nullopt);
    EXPECT_EQ(client.ShowServerError(L"Code=2147483648\nDescription=wrapped\n"), std::nullopt);
    EXPECT_EQ(client.ShowServerError(L"Code=-2147483648\nDescription=lowest\n"), -2147483647 - 1);
    EXPECT_EQ(client.ShowServerError(L"Code=2147483647\nDescription=highest\n"), 2147483647);
    const auto boxes = install.Ui().MessageBoxes();
    ASSERT_EQ(boxes.size(), 6u);
    EXPECT_EQ(boxes[0].text, exact + L" (1)");
    EXPECT_EQ(boxes[1].text, std::wstring(1000, L'x') + L"... (1)");
    EXPECT_EQ(boxes[2].text, L"Unknown error (2)");
    EXPECT_EQ(boxes[3].text, L"Unknown error (2)");
    EXPECT_EQ(boxes[4].text, L"lowest (1)");
    EXPECT_EQ(boxes[5].text, L"highest (1)");
}

TEST_F(ServiceStepTest, LongReplyWithoutCodeIsLoggedAsAnExcerptWithItsLength) {
    Installation install({server.Url()});
    const std::string exact(1000, 'e');
    const std::string head(1000, 'h');
    EXPECT_EQ(install.Server().ShowServerError(std::wstring(exact.begin(), exact.end())),
              std::nullopt);
    EXPECT_EQ(install.Server().ShowServerError(std::wstring(head.begin(), head.end()) +
                                               std::wstring(64 * 1024, L't')),
              std::nullopt);
    EXPECT_TRUE(install.Log().Contains("Unknown error : " + exact + "\r\n"));
    EXPECT_TRUE(install.Log().Contains("Unknown error : " + head + "... (66536 characters)"));
    EXPECT_FALSE(install.Log().Contains("ht"));
}

TEST_F(ServiceStepTest, InformationStepsFillTheRecordsAndApplyTheOverrides) {
    Installation install({server.Url()},
                         "[QXLauncher]\r\nForceReboot=true\r\nForceUpdate=TRUE\r\n");
    CQXLServerClient& client = install.Server();
    ASSERT_EQ(client.LoginStep(L"demo", L"demo", std::nullopt).result, QXLLogin::LoggedIn);
    ASSERT_TRUE(client.GetApplicationInfo());
    EXPECT_EQ(install.Application().Info().ApplicationLabel, L"QX Demo");
    EXPECT_EQ(install.Application().Info().ForceReboot, 1);
    EXPECT_EQ(install.Application().Info().ForceUpdate, 1);
    EXPECT_TRUE(install.Log().Contains(
        "\"ForceReboot = TRUE\" find in qxurl.net, ForceReboot forced to TRUE"));
    EXPECT_TRUE(install.Log().Contains(
        "\"ForceUpdate = TRUE\" find in qxurl.net, ForceUpdate forced to TRUE"));
    EXPECT_EQ(install.Client().GetApplicationName(), L"Demo");

    ASSERT_TRUE(client.GetVersionList());
    EXPECT_EQ(install.Application().VersionList(), (std::vector<std::wstring>{L"1.0", L"2.0"}));
    ASSERT_TRUE(client.GetPrimaryApplication());
    EXPECT_EQ(install.Client().GetVersionName(), L"2.0");
    EXPECT_EQ(install.Application().Primary().PrimaryName, L"qxflux.exe");
    ASSERT_TRUE(client.GetFileList());
    EXPECT_GT(install.Application().CountFilesToUpdate(), 0u);
    EXPECT_TRUE(install.Client().AppUpdateDone());
    EXPECT_TRUE(install.Client().Logout());
    // The session is closed: the server refuses it from now on.
    EXPECT_FALSE(client.GetApplicationInfo());
}

TEST_F(ServiceStepTest, CredentialTheWireCannotCarryIsRefusedBeforeSending) {
    struct Case {
        QXLanguageBase base;
        const char* locale;
        unsigned short windowsLanguage;
        std::wstring user, password, passcode;
        bool changePassword;
    };
    // A kana password in a Western locale, an accented one and a yen sign (a look-alike of
    // "\") in a Japanese locale, a Polish letter in a new password, and in the passcode a new
    // PIN replaces; "&", which would split the form, in a password.
    const Case cases[] = {
        {kQXEnglishBase, "en_US.UTF-8", 0x0409, L"demo", L"\u30d1\u30b9", L"", false},
        {kQXJapaneseBase, "ja_JP.UTF-8", 0x0411, L"demo", L"caf\u00e9", L"", false},
        {kQXJapaneseBase, "ja_JP.UTF-8", 0x0411, L"\u00a5demo", L"demo", L"", false},
        {kQXFrenchBase, "fr_FR.UTF-8", 0x040C, L"demo", L"demo", L"\u0142", true},
        {kQXEnglishBase, "en_US.UTF-8", 0x0409, L"demo", L"1234", L"\u0142", false},
        {kQXEnglishBase, "en_US.UTF-8", 0x0409, L"demo", L"de&mo", L"", false},
    };
    for (const Case& c : cases) {
        const ScopedWireLocale locale(c.locale, c.windowsLanguage);
        Installation install({server.Url()}, "", c.base);
        const std::size_t before = server.LogLineCount();
        const SQXLLoginOutcome outcome =
            c.changePassword ? install.Server().ChangePasswordStep(c.user, c.password, c.passcode)
            : c.passcode.empty() ? install.Server().LoginStep(c.user, c.password, std::nullopt)
                                 : install.Server().LoginStep(c.user, c.password, c.passcode);
        EXPECT_EQ(outcome.result, QXLLogin::NotSent);
        EXPECT_EQ(server.LogLineCount(), before) << "a request reached the server";
        EXPECT_TRUE(install.Log().Contains("Credentials refused : ")) << c.locale;
        const auto boxes = install.Ui().MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, QXLoadText(c.base, 57));
        EXPECT_EQ(boxes[0].flags, kQXMbIconExclamation | kQXMbSystemModal);
    }
}
