#include <csignal>

#include "server/RawConnection.h"
#include "server/ServerFixture.h"

// Two servers on one database, as behind a front that fails over between them: whatever one
// does to a session or a password holds on the other at once.
class ClusterTest : public ServerFixture {
protected:
    void SetUp() override {
        ServerFixture::SetUp();
        m_second = std::make_unique<ServerProcess>(QX_SERVER_BINARY, ServeArgs(),
                                                   m_dir.Path() / "second.log");
        ASSERT_FALSE(m_second->Url().empty());
    }

    httplib::Result Second(const std::string& service, const std::string& body) {
        return PostTo(*m_second, service, body);
    }

    std::unique_ptr<ServerProcess> m_second;
};

TEST_F(ClusterTest, ARolloutHaltedThroughOneServerIsHaltedOnTheOther) {
    ASSERT_EQ(Admin({"rollout", "start", "--root", Site().string(), "--app", "Demo", "--version",
                     "1.0", "--percent", "100", "--halt-on-failures", "100", "--min-reports", "1"})
                  .exitCode,
              0);
    const std::string session = "sessionid=" + Login("demo", "demo");
    EXPECT_NE(Second("GetAppInf", session)->body.find("\t1.0\t"), std::string::npos);
    ASSERT_EQ(
        Post("AppUpdateFailed", session + "&application=Demo&toversion=1.0&stage=verify")->status,
        200);
    EXPECT_NE(Second("GetAppInf", session)->body.find("\t2.0\t"), std::string::npos);
}

TEST_F(ClusterTest, ASessionOpenedOnOneServerIsServedAndEndedByTheOther) {
    const std::string session = "sessionid=" + Login("demo", "demo");
    EXPECT_EQ(Second("ExtendSession", session)->status, 200);
    const auto file = Second("GetAppFile", session + "&application=Demo&version=2.0"
                                                     "&filename=ReleaseNote.txt");
    ASSERT_EQ(file->status, 200);
    EXPECT_EQ(file->body, ReadBytes(Site() / "releases/Demo/2.0/ReleaseNote.txt"));
    // The version asked about on one server is the one the other records as updated.
    EXPECT_EQ(Post("GetAppChecksum", session + "&application=Demo&version=2.0")->status, 200);
    EXPECT_EQ(Second("AppUpdateDone", session)->status, 200);
    EXPECT_NE(Admin({"reports"}).out.find("\tdemo\tDemo\t2.0\n"), std::string::npos);

    EXPECT_EQ(Second("Logout", session)->status, 200);
    EXPECT_EQ(Post("ExtendSession", session)->status, 403);
    EXPECT_EQ(Post("GetAppChecksum", session + "&application=Demo&version=2.0")->status, 403);
    EXPECT_EQ(Post("Logout", session)->status, 403);
}

TEST_F(ClusterTest, PasswordChangesAndRemovalsEndSessionsOnEveryServer) {
    const std::string first = "sessionid=" + Login("demo", "demo");
    const std::string legacy = "sessionid=" + Login("legacy", "legacy");
    const auto changed =
        Second("ChangePassword", "password=new1&confirmpassword=new1&oldpassword=demo"
                                 "&user=demo&out=qx&lang=en");
    const std::string kept = "sessionid=" + SessionCookie(changed);
    EXPECT_EQ(Post("ExtendSession", first)->status, 403);
    EXPECT_EQ(Post("ExtendSession", kept)->status, 200);
    EXPECT_EQ(Second("P3Login", "password=demo&user=demo&lang=en")->body.rfind("Code=-1", 0), 0u);

    ASSERT_EQ(Admin({"user", "passwd", "demo", "--password", "reset"}).exitCode, 0);
    EXPECT_EQ(Second("ExtendSession", kept)->status, 403);
    ASSERT_EQ(Admin({"user", "del", "legacy"}).exitCode, 0);
    EXPECT_EQ(Second("ExtendSession", legacy)->status, 403);
    EXPECT_EQ(SessionCookie(Second("P3Login", "password=reset&user=demo&lang=en")).size(), 32u);
}

TEST_F(ClusterTest, PasswordGuessesAreCountedOnceForAllServers) {
    const std::string wrong = "password=guess&user=demo&lang=en";
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Post("P3Login", wrong)->body.rfind("Code=-1", 0), 0u);
        EXPECT_EQ(Second("P3Login", wrong)->body.rfind("Code=-1", 0), 0u);
    }
    // Ten in a row from this address, half on each server: both hold the name back here.
    for (auto* server : {m_server.get(), m_second.get()})
        EXPECT_TRUE(
            SessionCookie(PostTo(*server, "P3Login", "password=demo&user=demo&lang=en")).empty());
}

TEST_F(ClusterTest, FilesAreHandedToTheFrontAndItsClientAddressIsUsedWhenAsked) {
    WriteBytes(Site() / "releases/Demo/2.0/docs/a b%.txt", "spaced");
    Start({"--accel-redirect", "/_files/", "--real-ip-from", "10.9.9.9, 127.0.0.0/8",
           "--real-ip-from", "fd00::1"});
    const std::string session = "sessionid=" + Login("demo", "demo");
    // Read raw: the HTTP client would decode the header's %XX.
    const std::string body = session + "&application=Demo&version=2.0&filename=docs/a b%.txt";
    RawConnection raw(Server().Port());
    ASSERT_TRUE(raw.Send("POST /qx/GetAppFile HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                         "Content-Length: " +
                         std::to_string(body.size()) + "\r\n\r\n" + body));
    const std::string handed = raw.Receive(std::chrono::seconds(10));
    EXPECT_EQ(handed.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << handed;
    EXPECT_NE(handed.find("\r\nX-Accel-Redirect: /_files/Demo/2.0/docs/a%20b%25.txt\r\n"),
              std::string::npos)
        << handed;
    EXPECT_NE(handed.find("\r\nContent-Length: 0\r\n"), std::string::npos) << handed;
    // Without the option (the second server) the file itself comes.
    EXPECT_EQ(Second("GetAppFile", session + "&application=Demo&version=2.0"
                                             "&filename=docs/a b%.txt")
                  ->body,
              "spaced");

    httplib::Client client(Server().Host(), Server().Port());
    client.Post("/qx/P3Login", {{"X-Real-IP", "192.0.2.7"}}, "password=x&user=demo&lang=en",
                "application/x-www-form-urlencoded");
    EXPECT_EQ(Server().Stop(SIGTERM), 0);
    EXPECT_NE(ReadBytes(ErrorLog()).find(" 192.0.2.7 \"POST /qx/P3Login\" 200 "),
              std::string::npos);
}
