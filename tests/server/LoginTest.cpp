#include <algorithm>
#include <chrono>
#include <csignal>
#include <set>
#include <thread>

#include "server/ServerFixture.h"

namespace {

constexpr long long kDay = 86400;

const char* const kNoSession =
    "Code=-10\nDescription=Your session has expired. Please log in again.\n";

std::string LoginBody(const std::string& user, const std::string& password,
                      const std::string& lang = "en") {
    return "password=" + password + "&user=" + user + "&lang=" + lang;
}

std::string ChangeBody(const std::string& user, const std::string& oldPassword,
                       const std::string& password, const std::string& confirm) {
    return "password=" + password + "&confirmpassword=" + confirm + "&oldpassword=" + oldPassword +
           "&user=" + user + "&out=qx&lang=en";
}

// A refusal of a credential service: status 200, no cookie, the exact text.
void ExpectRefusal(const httplib::Result& result, const std::string& body) {
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_FALSE(result->has_header("Set-Cookie"));
    EXPECT_EQ(result->body, body);
}

} // namespace

using LoginTest = ServerFixture;

TEST_F(LoginTest, RefusesWrongCredentialsWithTheSameTextInTheRequestedLanguage) {
    const std::string english = "Code=-1\nDescription=Wrong user name or password.\n";
    ExpectRefusal(Post("P3Login", LoginBody("demo", "wrong")), english);
    ExpectRefusal(Post("P3Login", LoginBody("nobody", "demo")), english);
    ExpectRefusal(Post("P3Login", LoginBody("demo", "")), english);
    ExpectRefusal(Post("P3Login", LoginBody("demo", "wrong", "fr")),
                  "Code=-1\nDescription=Nom d'utilisateur ou mot de passe incorrect.\n");

    Advance(91 * kDay);
    ExpectRefusal(Post("P3Login", LoginBody("demo", "demo", "fr")),
                  "Code=-1207\nDescription=Votre mot de passe a expir\xe9.\n");
    const auto japanese = Post("P3Login", LoginBody("demo", "demo", "ja"));
    ExpectRefusal(japanese, "Code=-1207\nDescription=\x83\x70\x83\x58\x83\x8f\x81\x5b\x83\x68"
                            "\x82\xcc\x97\x4c\x8c\xf8\x8a\xfa\x8c\xc0\x82\xaa\x90\xd8\x82\xea"
                            "\x82\xdc\x82\xb5\x82\xbd\x81\x42\n");
    EXPECT_EQ(japanese->get_header_value("Content-Type"), "text/plain; charset=Shift_JIS");

    // The switch of old scripts is still accepted and changes nothing.
    Start({"--utf8-texts"});
    Advance(91 * kDay);
    ExpectRefusal(Post("P3Login", LoginBody("demo", "demo", "fr")),
                  "Code=-1207\nDescription=Votre mot de passe a expir\xe9.\n");
}

TEST_F(LoginTest, NamesAndPasswordsTravelInTheCodePageOfTheRequestLanguage) {
    ASSERT_EQ(Admin({"user", "add", "jos\u00e9", "--password", "caf\u00e9"}).exitCode, 0);
    ASSERT_EQ(
        Admin({"user", "add", "\u30e6\u30fc\u30b6\u30fc", "--password", "\u30d1\u30b9"}).exitCode,
        0);
    for (const char* lang : {"en", "fr"}) {
        const auto western = Post("P3Login", LoginBody("jos\xe9", "caf\xe9", lang));
        EXPECT_EQ(SessionCookie(western).size(), 32u) << lang;
    }
    const auto japanese =
        Post("P3Login", LoginBody("\x83\x86\x81\x5b\x83\x55\x81\x5b", "\x83\x70\x83\x58", "ja"));
    EXPECT_EQ(SessionCookie(japanese).size(), 32u);
    // GetAppInf without an application name carries no "lang": the login's code page holds.
    WriteBytes(Site() / "releases/Demo/application.ini", "[Application]\nLabel=\u30e1\u30e2\n");
    const auto info = Post("GetAppInf", "sessionid=" + SessionCookie(japanese));
    EXPECT_NE(info->body.find("\tDemo\t\x83\x81\x83\x82\t"), std::string::npos) << info->body;
    // UTF-8 bytes are not the code page's: another name, refused.
    ExpectRefusal(Post("P3Login", LoginBody("jos\u00e9", "caf\u00e9")),
                  "Code=-1\nDescription=Wrong user name or password.\n");
}

TEST_F(LoginTest, SessionCookieIsScopedToTheBasePathAndNewForEachLogin) {
    const auto result = Post("P3Login", LoginBody("demo", "demo"));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(CookieAttribute(result, "Path"), "/qx/");
    // The launcher's cookie look-up skips HttpOnly cookies.
    EXPECT_EQ(result->get_header_value("Set-Cookie").find("HttpOnly"), std::string::npos);
    const std::string first = SessionCookie(result);
    EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(first.size(), 32u);
    EXPECT_NE(Login("demo", "demo"), first);
    EXPECT_EQ(Post("GetAppInf", "sessionid=" + first)->status, 200);

    // A real cookie engine (curl's, as the Linux launcher uses) hands the cookie back for the
    // configured server URL, and not for a path beside it.
    const std::string jar = (m_dir.Path() / "cookies").string();
    const auto login =
        RunProcess("/usr/bin/curl",
                   {"-s", "-c", jar, "-d", "password=demo&user=demo", Server().Url() + "P3Login"});
    ASSERT_EQ(login.exitCode, 0) << login.err;
    const auto sent = [&](const std::string& url) {
        return RunProcess("/usr/bin/curl", {"-s", "-v", "-o", "/dev/null", "-b", jar, url}).err;
    };
    EXPECT_NE(sent(Server().Url()).find("Cookie: SessionId="), std::string::npos);
    const std::string root = Server().Url().substr(0, Server().Url().size() - 3);
    EXPECT_EQ(sent(root + "qxother/").find("Cookie: SessionId="), std::string::npos);
}

TEST_F(LoginTest, ExpiredPasswordIsChangedThroughChangePasswordWhichOpensASession) {
    Advance(91 * kDay);
    ExpectRefusal(Post("P3Login", LoginBody("demo", "demo")),
                  "Code=-1207\nDescription=Your password has expired.\n");

    const std::string refused = "Code=-3\nDescription=The new password was refused.\n";
    ExpectRefusal(Post("ChangePassword", ChangeBody("demo", "demo", "new1", "new2")), refused);
    ExpectRefusal(Post("ChangePassword", ChangeBody("demo", "demo", "demo", "demo")), refused);
    ExpectRefusal(Post("ChangePassword", ChangeBody("demo", "demo", "", "")), refused);
    ExpectRefusal(Post("ChangePassword", ChangeBody("demo", "bad", "new1", "new1")),
                  "Code=-1\nDescription=Wrong user name or password.\n");

    const auto changed = Post("ChangePassword", ChangeBody("demo", "demo", "new1", "new1"));
    ASSERT_EQ(changed->status, 200);
    EXPECT_EQ(CookieAttribute(changed, "Path"), "/qx/");
    const std::string session = SessionCookie(changed);
    ASSERT_EQ(session.size(), 32u);
    EXPECT_EQ(Post("GetAppInf", "sessionid=" + session)->status, 200);
    ExpectRefusal(Post("P3Login", LoginBody("demo", "demo")),
                  "Code=-1\nDescription=Wrong user name or password.\n");
    EXPECT_NE(Login("demo", "new1"), session);
}

TEST_F(LoginTest, ApplicationInfoCountsTheDaysLeftBeforeThePasswordMustChange) {
    const auto daysColumns = [this] {
        const std::string body = Post("GetAppInf", "sessionid=" + Login("demo", "demo"))->body;
        const auto row = body.find("TBLDATBEGIN_99\r\n");
        const auto end = body.find("\r\n", row + 16);
        const std::string values = body.substr(row + 16, end - row - 16);
        // The two integers before the last two columns, WarningForceUpdate and UpdateReports.
        const auto last = values.rfind('\t', values.rfind('\t') - 1);
        const auto warning = values.rfind('\t', last - 1);
        const auto days = values.rfind('\t', warning - 1);
        return values.substr(days + 1, last - days - 1);
    };
    EXPECT_EQ(daysColumns(), "90\t14");
    Advance(80 * kDay);
    EXPECT_EQ(daysColumns(), "10\t14");

    ASSERT_EQ(Admin({"user", "passwd", "demo", "--password", "reset", "--expired"}).exitCode, 0);
    ExpectRefusal(Post("P3Login", LoginBody("demo", "reset")),
                  "Code=-1207\nDescription=Your password has expired.\n");
}

TEST_F(LoginTest, TokenUserSetsANewPinWhenAsked) {
    ASSERT_EQ(Admin({"user", "add", "tok", "--token", "--password", "1234", "--new-pin"}).exitCode,
              0);
    ExpectRefusal(Post("P3Login", LoginBody("tok", "1234")),
                  "Code=-205\nDescription=A new PIN is required.\n");
    ExpectRefusal(Post("P3Login", LoginBody("tok", "5678") + "&oldPasscode=9999"),
                  "Code=-1\nDescription=Wrong user name or password.\n");
    const auto accepted = Post("P3Login", LoginBody("tok", "5678") + "&oldPasscode=1234");
    EXPECT_EQ(SessionCookie(accepted).size(), 32u);
    Login("tok", "5678");
    ExpectRefusal(Post("P3Login", LoginBody("tok", "1234")),
                  "Code=-1\nDescription=Wrong user name or password.\n");
}

TEST_F(LoginTest, TokenUserGivesTheNextPasscodeWhenAsked) {
    ASSERT_EQ(
        Admin({"user", "add", "tok", "--token", "--password", "1111", "--next-passcode", "2222"})
            .exitCode,
        0);
    ExpectRefusal(Post("P3Login", LoginBody("tok", "1111")),
                  "Code=-202\nDescription=The next passcode is required.\n");
    ExpectRefusal(Post("P3Login", LoginBody("tok", "3333") + "&oldPasscode=1111"),
                  "Code=-1\nDescription=Wrong user name or password.\n");
    const auto accepted = Post("P3Login", LoginBody("tok", "2222") + "&oldPasscode=1111");
    EXPECT_EQ(SessionCookie(accepted).size(), 32u);
    Login("tok", "1111");
}

TEST_F(LoginTest, SingleSignOnTakesOnlyTheNameATrustedFrontVouchedFor) {
    const std::string notVouched = "Code=-17\nDescription=Single sign-on is accepted only through "
                                   "the company's sign-on server.\n";
    const std::string body = "password=&user=sso&lang=en";
    ExpectRefusal(Post("P3SSO", body), notVouched);
    ExpectRefusal(SignOnAs("sso", body), notVouched);

    Start({"--sso-user-header", "X-Remote-User", "--real-ip-from", "127.0.0.1"});
    const auto accepted = SignOnAs("sso", body);
    EXPECT_EQ(CookieAttribute(accepted, "Path"), "/qx/");
    EXPECT_EQ(Post("GetAppInf", "sessionid=" + SessionCookie(accepted))->status, 200);
    EXPECT_EQ(SessionCookie(SignOnAs("SSO", "password=&lang=en")).size(), 32u);
    ExpectRefusal(Post("P3SSO", body), notVouched);
    ExpectRefusal(SignOnAs("", body), notVouched);
    ExpectRefusal(SignOnAs("sso", "password=&user=demo&lang=en"), notVouched);
    ExpectRefusal(SignOnAs("demo", "password=&user=demo&lang=en"),
                  "Code=-2\nDescription=Single sign-on is not allowed for this user.\n");
    ExpectRefusal(Post("P3Login", LoginBody("sso", "")),
                  "Code=-1\nDescription=Wrong user name or password.\n");

    // The header of a client that is not the front vouches for nobody.
    Start({"--sso-user-header", "X-Remote-User", "--real-ip-from", "127.0.0.2"});
    ExpectRefusal(SignOnAs("sso", body), notVouched);
}

TEST_F(LoginTest, SessionLivesWhileUsedAndEndsAfterItsLifetimeOrLogout) {
    Start({"--session-lifetime-seconds", "100"});
    const std::string session = Login("demo", "demo");
    const std::string body = "sessionid=" + session + "&lang=en";
    Advance(90);
    EXPECT_EQ(Post("ExtendSession", body)->status, 200);
    Advance(90);
    EXPECT_EQ(Post("GetAppInf", "sessionid=" + session)->status, 200);
    Advance(101);
    const auto expired = Post("ExtendSession", body);
    EXPECT_EQ(expired->status, 403);
    EXPECT_EQ(expired->body, kNoSession);
    EXPECT_EQ(Post("GetAppInf", "sessionid=" + session)->status, 403);

    const std::string other = "sessionid=" + Login("demo", "demo") + "&lang=en";
    EXPECT_EQ(Post("Logout", other)->status, 200);
    EXPECT_EQ(Post("ExtendSession", other)->status, 403);
    EXPECT_EQ(Post("Logout", other)->status, 403);
}

TEST_F(LoginTest, UsersSessionsAndReportsSurviveARestart) {
    const auto changed = Post("ChangePassword", ChangeBody("demo", "demo", "kept", "kept"));
    const std::string session = SessionCookie(changed);
    ASSERT_EQ(
        Post("GetAppChecksum", "sessionid=" + session + "&application=Demo&version=2.0")->status,
        200);
    ASSERT_EQ(Post("AppUpdateDone", "sessionid=" + session + "&lang=en")->status, 200);

    Start();
    EXPECT_EQ(Post("ExtendSession", "sessionid=" + session)->status, 200);
    Login("demo", "kept");
    const auto reports = Admin({"reports"});
    EXPECT_EQ(reports.exitCode, 0);
    EXPECT_NE(reports.out.find("\tdemo\tDemo\t2.0\n"), std::string::npos) << reports.out;
}

TEST_F(LoginTest, ManyClientsLogInAndDownloadAtOnce) {
    constexpr int kThreads = 8;
    std::vector<std::string> sessions(kThreads);
    std::vector<int> goodFiles(kThreads, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([this, i, &sessions, &goodFiles] {
            httplib::Client client(Server().Host(), Server().Port());
            const auto login = client.Post("/qx/P3Login", LoginBody("demo", "demo"),
                                           "application/x-www-form-urlencoded");
            if (!login)
                return;
            sessions[i] = SessionCookie(login);
            for (int n = 0; n < 10; ++n) {
                const auto file = client.Post(
                    "/qx/GetAppFile",
                    "sessionid=" + sessions[i] +
                        "&application=Demo&version=2.0&filename=bin/plugins/chart.dll&lang=en",
                    "application/x-www-form-urlencoded");
                goodFiles[i] += file && file->status == 200 && file->body == "chart plugin\n";
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(std::set<std::string>(sessions.begin(), sessions.end()).size(),
              static_cast<std::size_t>(kThreads));
    for (int i = 0; i < kThreads; ++i)
        EXPECT_EQ(goodFiles[i], 10) << "client " << i;
}

TEST_F(LoginTest, AdministrationCommandsManageUsers) {
    EXPECT_EQ(Admin({"user", "add", "demo", "--password", "x"}).exitCode, 1);
    EXPECT_EQ(Admin({"user", "add", "piped"}, "from-stdin\n").exitCode, 0);
    Login("piped", "from-stdin");
    // Blanks travel quoted to the started programs; what no command line can carry does not.
    EXPECT_EQ(Admin({"user", "add", "Jean Dupont", "--password", "x"}).exitCode, 0);
    for (const char* name : {"x\" -serverPassword \"y", "a\tb", "R&D", "50%", "a|b", "a^b", "<a>"})
        EXPECT_EQ(Admin({"user", "add", name, "--password", "x"}).exitCode, 1) << name;
    EXPECT_EQ(Admin({"user", "list"}).out.find("serverPassword"), std::string::npos);
    // User names compare without regard to case, for the sessions too.
    const std::string session = Login("DEMO", "demo");

    const auto list = Admin({"user", "list"});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_NE(list.out.find("demo\tpassword\t-\t"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("sso\tsso\t-\t"), std::string::npos) << list.out;

    EXPECT_EQ(Admin({"user", "del", "demo"}).exitCode, 0);
    EXPECT_EQ(Admin({"user", "del", "demo"}).exitCode, 1);
    EXPECT_EQ(Post("GetAppInf", "sessionid=" + session)->status, 403);
    EXPECT_EQ(Admin({"user", "frobnicate", "x"}).exitCode, 2);
}

TEST_F(LoginTest, RepeatedWrongPasswordsHoldBackTheGuessingAddressNotTheUser) {
    Start({"--real-ip-from", "127.0.0.1"});
    const auto from = [this](const std::string& address, const std::string& service,
                             const std::string& body) {
        httplib::Client client(Server().Host(), Server().Port());
        return client.Post(("/qx/" + service).c_str(), {{"X-Real-IP", address}}, body,
                           "application/x-www-form-urlencoded");
    };
    const auto loggedIn = [](const httplib::Result& result) {
        return result && SessionCookie(result).size() == 32;
    };
    const std::string refused = "Code=-1\nDescription=Wrong user name or password.\n";
    const std::string guesser = "192.0.2.1";
    for (int i = 0; i < 10; ++i)
        ExpectRefusal(from(guesser, "P3Login", LoginBody("demo", "guess" + std::to_string(i))),
                      refused);
    // The guesser's address is held back for that name, right password or not, whatever the
    // spelling, and ChangePassword is no way round; the user elsewhere is not.
    ExpectRefusal(from(guesser, "P3Login", LoginBody("DEMO", "demo")), refused);
    ExpectRefusal(from(guesser, "ChangePassword", ChangeBody("demo", "demo", "new1", "new1")),
                  refused);
    EXPECT_TRUE(loggedIn(from("192.0.2.2", "P3Login", LoginBody("demo", "demo"))));
    EXPECT_TRUE(loggedIn(from("2001:db8::1", "P3Login", LoginBody("demo", "demo"))));
    EXPECT_TRUE(loggedIn(from(guesser, "P3Login", LoginBody("legacy", "legacy"))));
    Advance(61);
    EXPECT_TRUE(loggedIn(from(guesser, "P3Login", LoginBody("demo", "demo"))));

    // Guesses spread over many names: the address is held back for every name, and only it.
    for (int i = 0; i < 40; ++i)
        ExpectRefusal(from(guesser, "P3Login", LoginBody("user" + std::to_string(i), "x")),
                      refused);
    ExpectRefusal(from(guesser, "P3Login", LoginBody("legacy", "legacy")), refused);
    EXPECT_TRUE(loggedIn(from("192.0.2.2", "P3Login", LoginBody("legacy", "legacy"))));
    Advance(61);
    EXPECT_TRUE(loggedIn(from(guesser, "P3Login", LoginBody("legacy", "legacy"))));

    EXPECT_EQ(Server().Stop(SIGTERM), 0);
    const std::string log = ReadBytes(ErrorLog());
    EXPECT_NE(log.find(" 192.0.2.1 \"POST /qx/P3Login\" 200 49 user=DEMO refused=-1 throttled\n"),
              std::string::npos)
        << log;
}

TEST_F(LoginTest, ChangePasswordTakesAsLongForAnUnknownUserAsForAWrongPassword) {
    // The fastest of a few tries each, taken in turns, so that a busy machine slows all alike.
    const std::vector<std::string> users = {"demo", "nobody", "sso"};
    std::vector<std::chrono::steady_clock::duration> fastest(
        users.size(), std::chrono::steady_clock::duration::max());
    for (int round = 0; round < 4; ++round) {
        for (std::size_t i = 0; i < users.size(); ++i) {
            const auto start = std::chrono::steady_clock::now();
            ExpectRefusal(Post("ChangePassword", ChangeBody(users[i], "wrong", "new1", "new1")),
                          "Code=-1\nDescription=Wrong user name or password.\n");
            fastest[i] = std::min(fastest[i], std::chrono::steady_clock::now() - start);
        }
    }
    // Without the equal work, an unknown name is answered a hundred times faster.
    EXPECT_GT(fastest[1], fastest[0] / 4);
    EXPECT_GT(fastest[2], fastest[0] / 4);
}

TEST_F(LoginTest, ChangingAPasswordEndsTheUsersOtherSessions) {
    const std::string before = "sessionid=" + Login("demo", "demo");
    const std::string other = "sessionid=" + Login("legacy", "legacy");
    const auto changed = Post("ChangePassword", ChangeBody("DEMO", "demo", "new1", "new1"));
    const std::string kept = "sessionid=" + SessionCookie(changed);
    EXPECT_EQ(Post("GetAppInf", before)->status, 403);
    EXPECT_EQ(Post("GetAppInf", kept)->status, 200);
    EXPECT_EQ(Post("GetAppInf", other)->status, 200);

    ASSERT_EQ(Admin({"user", "passwd", "demo", "--password", "reset"}).exitCode, 0);
    EXPECT_EQ(Post("GetAppInf", kept)->status, 403);
    EXPECT_EQ(Post("GetAppInf", other)->status, 200);
}
