#include "QXRollouts.h"
#include "QXStorage.h"
#include "server/ServerFixture.h"
#include "support/TempDir.h"

namespace {

// Who knocks: no cookie, a launcher's session id (as either cookie), a made-up cookie, or the
// administrator's own.
enum class EWho { Nobody, Launcher, Forged, Admin };
// The CSRF token a change carries: none, a made-up one, another session's, or the right one.
enum class EToken { None, Wrong, Other, Right };

std::string Between(const std::string& text, const std::string& before, char end) {
    const auto start = text.find(before);
    if (start == std::string::npos)
        return std::string();
    const auto from = start + before.size();
    return text.substr(from, text.find(end, from) - from);
}

} // namespace

class ConsoleTest : public ServerFixture {
protected:
    void SetUp() override {
        ServerFixture::SetUp();
        WriteBytes(Site() / "releases/Demo/application.ini",
                   "[Application]\nVersion=1.0\nVersions=1.0,2.0\n");
        ASSERT_EQ(Admin({"admin", "add", "root", "--password", "pw"}).exitCode, 0);
        ASSERT_EQ(Admin({"admin", "add", "other", "--password", "pw2"}).exitCode, 0);
        ASSERT_EQ(Admin({"rollout", "start", "--root", Site().string(), "--app", "Demo",
                         "--version", "2.0", "--group", "pilots"})
                      .exitCode,
                  0);
    }
    httplib::Result Send(const std::string& method, const std::string& path,
                         const std::string& cookie, const std::string& body = std::string(),
                         const httplib::Headers& extra = {}) {
        httplib::Client client(Server().Host(), Server().Port());
        httplib::Headers headers = extra;
        if (!cookie.empty())
            headers.emplace("Cookie", cookie);
        auto result = method == "GET" ? client.Get(("/qx/admin/" + path).c_str(), headers)
                                      : client.Post(("/qx/admin/" + path).c_str(), headers, body,
                                                    "application/x-www-form-urlencoded");
        EXPECT_TRUE(result) << path;
        return result;
    }
    // Logs the administrator in: the cookie to send and the CSRF token of the session.
    std::pair<std::string, std::string> LogIn(const std::string& name, const std::string& password,
                                              const httplib::Headers& extra = {}) {
        const auto login =
            Send("POST", "login", "", "name=" + name + "&password=" + password, extra);
        m_setCookie = login->get_header_value("Set-Cookie");
        const std::string cookie = "QXAdmin=" + CookieAttribute(login, "QXAdmin");
        const auto page = Send("GET", "rollouts", cookie);
        return {cookie, Between(page->body, "name=\"csrf\" value=\"", '"')};
    }
    std::string m_setCookie;
};

TEST_F(ConsoleTest, NoPageOrChangeWithoutAnAdminSessionAndItsToken) {
    const std::string launcher = Login("demo", "demo");
    const auto [admin, csrf] = LogIn("root", "pw");
    const auto [otherAdmin, otherCsrf] = LogIn("other", "pw2");
    ASSERT_EQ(csrf.size(), 64u);
    ASSERT_NE(csrf, otherCsrf);
    EXPECT_EQ(Send("POST", "login", "", "name=demo&password=demo")->status, 401); // a user
    EXPECT_EQ(Send("POST", "login", "", "name=root&password=PW")->status, 401);

    const auto cookieOf = [&](EWho who) -> std::string {
        switch (who) {
        case EWho::Nobody:
            return "";
        case EWho::Launcher:
            return "SessionId=" + launcher + "; QXAdmin=" + launcher;
        case EWho::Forged:
            return "QXAdmin=" + std::string(64, 'a');
        case EWho::Admin:
            return admin;
        }
        return "";
    };
    const auto tokenOf = [&](EToken token) -> std::string {
        switch (token) {
        case EToken::None:
            return "";
        case EToken::Wrong:
            return "&csrf=" + std::string(64, '0');
        case EToken::Other:
            return "&csrf=" + otherCsrf;
        case EToken::Right:
            return "&csrf=" + csrf;
        }
        return "";
    };
    struct Case {
        const char* method;
        const char* path;
        EWho who;
        EToken token;
        int status;
    };
    const Case cases[] = {
        {"GET", "", EWho::Nobody, EToken::None, 303},
        {"GET", "fleet", EWho::Nobody, EToken::None, 303},
        {"GET", "rollouts", EWho::Launcher, EToken::None, 303},
        {"GET", "outcomes", EWho::Forged, EToken::None, 303},
        {"GET", "users", EWho::Launcher, EToken::None, 303},
        {"GET", "nothing", EWho::Launcher, EToken::None, 404},
        {"POST", "rollouts/halt", EWho::Nobody, EToken::Right, 403},
        {"POST", "rollouts/halt", EWho::Launcher, EToken::Right, 403},
        {"POST", "rollouts/percent", EWho::Forged, EToken::Right, 403},
        {"POST", "users/end-session", EWho::Launcher, EToken::Right, 403},
        {"POST", "rollouts/halt", EWho::Admin, EToken::None, 403},
        {"POST", "rollouts/start", EWho::Admin, EToken::Wrong, 403},
        {"POST", "rollouts/percent", EWho::Admin, EToken::Wrong, 403},
        {"POST", "users/end-session", EWho::Admin, EToken::Other, 403},
        {"POST", "logout", EWho::Admin, EToken::Wrong, 403},
        {"GET", "rollouts/halt", EWho::Admin, EToken::Right, 404}, // changes are POSTs only
    };
    for (const auto& c : cases) {
        const std::string form =
            "app=Demo&version=2.0&start-percent=50&percent=50&session=x" + tokenOf(c.token);
        const bool get = std::string(c.method) == "GET";
        const auto reply = Send(c.method,
                                get && c.token != EToken::None ? std::string(c.path) + "?" + form
                                                               : std::string(c.path),
                                cookieOf(c.who), get ? std::string() : form);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, c.status) << c.method << " " << c.path;
        if (c.status == 303) {
            EXPECT_EQ(reply->get_header_value("Location"), "/qx/admin/login") << c.path;
        }
        EXPECT_EQ(reply->body.find("Demo"), std::string::npos) << c.path;
    }
    // Nothing changed: the rollout, the user's session, the audit.
    const std::string status = Admin({"rollout", "status", "--app", "Demo"}).out;
    EXPECT_NE(status.find("state\trunning\ngroups\tpilots\npercent\t0\n"), std::string::npos)
        << status;
    EXPECT_EQ(Post("ExtendSession", "sessionid=" + launcher)->status, 200);
    EXPECT_EQ(Admin({"audit"}).out.find("rollout"), std::string::npos);

    // The right session with its token changes, and the change is audited.
    const auto halt = Send("POST", "rollouts/halt", admin, "app=Demo" + tokenOf(EToken::Right));
    EXPECT_EQ(halt->status, 200);
    EXPECT_NE(Admin({"rollout", "status", "--app", "Demo"}).out.find("state\thalted\n"),
              std::string::npos);
    EXPECT_NE(Admin({"audit"}).out.find("\troot\trollout halt\tDemo 2.0\n"), std::string::npos);
    // A removed administrator's session ends with them.
    ASSERT_EQ(Admin({"admin", "del", "root"}).exitCode, 0);
    EXPECT_EQ(Send("GET", "fleet", admin)->status, 303);
}

TEST_F(ConsoleTest, SessionCookieIsHttpOnlyStrictAndSecureBehindATlsFront) {
    LogIn("root", "pw");
    EXPECT_NE(m_setCookie.find("; Path=/qx/admin/; HttpOnly; SameSite=Strict"), std::string::npos)
        << m_setCookie;
    EXPECT_EQ(m_setCookie.find("Secure"), std::string::npos);
    Start({"--real-ip-from", "127.0.0.1"});
    LogIn("root", "pw", {{"X-Forwarded-Proto", "https"}});
    EXPECT_NE(m_setCookie.find("; HttpOnly; SameSite=Strict; Secure"), std::string::npos)
        << m_setCookie;
}

TEST_F(ConsoleTest, StoredTextsShowAsTextAndEndingASessionEndsIt) {
    ASSERT_EQ(
        Admin({"user", "add", "eve", "--password", "eve", "--group", "<b>pilots</b>"}).exitCode, 0);
    const std::string launcher = Login("eve", "eve");
    const auto [admin, csrf] = LogIn("root", "pw");
    const auto page = Send("GET", "users?q=EV", admin);
    EXPECT_NE(page->body.find("&lt;b&gt;pilots&lt;/b&gt;"), std::string::npos);
    EXPECT_EQ(page->body.find("<b>pilots"), std::string::npos);
    EXPECT_EQ(page->body.find(launcher), std::string::npos); // the form names a digest
    const std::string digest = Between(page->body, "name=\"session\" value=\"", '"');
    ASSERT_EQ(digest.size(), 64u);
    const auto ended =
        Send("POST", "users/end-session", admin, "session=" + digest + "&csrf=" + csrf);
    EXPECT_EQ(ended->status, 200);
    EXPECT_NE(ended->body.find("Ended a session of eve."), std::string::npos);
    EXPECT_EQ(Post("ExtendSession", "sessionid=" + launcher)->status, 403);
    EXPECT_NE(Admin({"audit"}).out.find("\troot\tend session\teve "), std::string::npos);
}

TEST_F(ConsoleTest, AChangeLosesToAHaltOnFailuresThatCameFirst) {
    const auto storage = OpenStorage(Database());
    SQXRollout read = *storage->FindRollout("Demo");
    // Between the administrator's read and write, a failure report halts the rollout.
    ASSERT_TRUE(storage->HaltRollout("Demo", "2 of 2 reports failed"));
    ASSERT_EQ(CQXRollouts::Steer(read, "set", 50, read.started), "");
    EXPECT_FALSE(storage->ReplaceRollout(read, "running", read.started));
    EXPECT_EQ(storage->FindRollout("Demo")->state, "halted");
    EXPECT_EQ(storage->FindRollout("Demo")->percent, 0);
    SQXRollout halted = *storage->FindRollout("Demo");
    ASSERT_EQ(CQXRollouts::Steer(halted, "set", 50, halted.started), "");
    EXPECT_TRUE(storage->ReplaceRollout(halted, "halted", halted.started));
    EXPECT_EQ(storage->FindRollout("Demo")->percent, 50);
}
