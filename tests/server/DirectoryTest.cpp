#include <csignal>
#include <cstdlib>

#include "server/ServerFixture.h"

namespace {

const char* const kWrong = "Code=-1\nDescription=Wrong user name or password.\n";
const char* const kNotForSso =
    "Code=-2\nDescription=Single sign-on is not allowed for this user.\n";
const char* const kUnreachable = "Code=-16\nDescription=The company directory cannot be reached "
                                 "to check your password. Please try again later.\n";

std::string LoginBody(const std::string& user, const std::string& password) {
    return "password=" + password + "&user=" + user + "&lang=en";
}

} // namespace

// The server with users of a directory of its own (scripts/ldap): the run's shared one when
// QX_TEST_LDAP names its folder, else one of the test's own.
class DirectoryTest : public ServerFixture {
protected:
    void SetUp() override {
        setenv("LDAPNOINIT", "1", 1); // the machine's ldap.conf stays out of it
        ServerFixture::SetUp();
        const char* shared = std::getenv("QX_TEST_LDAP");
        m_url = shared && *shared ? ReadBytes(std::filesystem::path(shared) / "url")
                                  : Directory("start");
        m_url = m_url.substr(0, m_url.find('\n'));
        ASSERT_EQ(m_url.rfind("ldap://127.0.0.1:", 0), 0u) << m_url;
        WriteBytes(m_dir.Path() / "reader-pw", "reader-pw\n");
    }
    void TearDown() override {
        if (m_own)
            Directory("stop");
    }

    // Runs scripts/ldap on the test's own directory; returns its output (start: the URL line).
    std::string Directory(const std::string& command) {
        m_own = true;
        const ProcessResult result =
            RunProcess(QX_LDAP_SCRIPT, {command, (m_dir.Path() / "ldap").string()});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out.substr(0, result.out.find('\n'));
    }

    // Serves with the directory: users by DN template, or found by the service account's
    // search (which also finds those a front vouches for).
    void StartWithDirectory(bool bySearch) {
        std::vector<std::string> args = {"--ldap-url",
                                         m_url,
                                         "--ldap-group-base",
                                         "ou=groups,dc=example,dc=test",
                                         "--ldap-bind-dn",
                                         "cn=reader,dc=example,dc=test",
                                         "--ldap-bind-password-file",
                                         (m_dir.Path() / "reader-pw").string(),
                                         "--sso-user-header",
                                         "X-Remote-User",
                                         "--real-ip-from",
                                         "127.0.0.1"};
        if (bySearch)
            args.insert(args.end(), {"--ldap-search-base", "dc=example,dc=test",
                                     "--ldap-search-filter", "(&(objectClass=person)(uid=%s))"});
        else
            args.insert(args.end(), {"--ldap-user-dn", "uid=%s,ou=people,dc=example,dc=test"});
        Start(args);
    }

    std::string m_url;
    bool m_own = false;
};

TEST_F(DirectoryTest, DirectoryUsersLogInAndSignOnBesideLocalOnesWithTheirGroups) {
    ASSERT_EQ(Admin({"user", "add", "bob", "--password", "local-pw"}).exitCode, 0);
    // A rollout to a group of the directory reaches alice through the groups of her login.
    ASSERT_EQ(Admin({"rollout", "start", "--root", Site().string(), "--app", "Demo", "--version",
                     "1.0", "--group", "Staff"})
                  .exitCode,
              0);
    for (const bool bySearch : {false, true}) {
        StartWithDirectory(bySearch);
        const std::string alice = Login("alice", "alice-pw");
        EXPECT_NE(Post("GetAppInf", "sessionid=" + alice)->body.find("\t1.0\t"), std::string::npos);
        EXPECT_EQ(Post("P3Login", LoginBody("alice", "bob-pw"))->body, kWrong);
        EXPECT_EQ(Post("P3Login", LoginBody("alice", ""))->body, kWrong);
        EXPECT_EQ(Post("P3Login", LoginBody("carol", "carol-pw"))->body, kWrong);
        // The store first: its bob is not the directory's.
        EXPECT_EQ(Post("P3Login", LoginBody("bob", "bob-pw"))->body, kWrong);
        EXPECT_NE(Post("GetAppInf", "sessionid=" + Login("bob", "local-pw"))->body.find("\t2.0\t"),
                  std::string::npos);
        Login("demo", "demo");
        const auto vouched = SignOnAs("alice", "password=&user=alice&lang=en");
        EXPECT_EQ(SessionCookie(vouched).size(), 32u) << vouched->body;
        EXPECT_EQ(SignOnAs("carol", "password=&lang=en")->body, kNotForSso);
        // The directory owns its users' passwords.
        EXPECT_EQ(Post("ChangePassword", "password=n&confirmpassword=n&oldpassword=alice-pw"
                                         "&user=alice&lang=en")
                      ->body,
                  "Code=-18\nDescription=Your password is kept in the company directory: "
                  "change it there.\n");
        ASSERT_EQ(Server().Stop(SIGTERM), 0);
        const std::string log = ReadBytes(ErrorLog());
        EXPECT_NE(log.find("P3Login\" 200 7 user=alice groups=pilots,staff\n"), std::string::npos);
        EXPECT_NE(log.find("P3SSO\" 200 7 user=alice groups=pilots,staff\n"), std::string::npos);
    }
}

TEST_F(DirectoryTest, NamesThatWouldRewriteTheDnOrTheFilterAreRefused) {
    // Without escaping, the filter would find alice for the first three.
    const std::vector<std::string> names = {
        "al*",     "alice)(uid=*", "*)(uid=alice", "*", "alice,ou=people,dc=example,dc=test",
        "alice\\"};
    for (const bool bySearch : {false, true}) {
        StartWithDirectory(bySearch);
        for (const auto& name : names)
            EXPECT_EQ(Post("P3Login", LoginBody(name, "alice-pw"))->body, kWrong) << name;
        EXPECT_EQ(Post("P3Login", LoginBody(std::string("alice\0", 6), "alice-pw"))->status, 400);
        EXPECT_EQ(SignOnAs("al*", "password=&lang=en")->body, kNotForSso);
        Login("alice", "alice-pw");
    }
}

TEST_F(DirectoryTest, AStoppedDirectoryRefusesItsUsersClearlyWhileSessionsGoOn) {
    if (!m_own)
        m_url = Directory("start"); // this test stops it: never the run's shared one
    for (const bool bySearch : {false, true}) {
        StartWithDirectory(bySearch);
        const std::string alice = Login("alice", "alice-pw");
        Directory("stop");
        const auto refused = Post("P3Login", LoginBody("alice", "alice-pw"));
        EXPECT_EQ(refused->status, 503); // a front tries another server
        EXPECT_EQ(refused->body, kUnreachable);
        EXPECT_EQ(SignOnAs("alice", "password=&lang=en")->status, 503);
        EXPECT_EQ(Post("GetAppInf", "sessionid=" + alice)->status, 200);
        Login("demo", "demo");
        // Back again: the next login works without a restart.
        Directory("start");
        Login("alice", "alice-pw");
        ASSERT_EQ(Server().Stop(SIGTERM), 0);
        EXPECT_NE(ReadBytes(ErrorLog()).find(" error: directory: "), std::string::npos);
    }
}
