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
