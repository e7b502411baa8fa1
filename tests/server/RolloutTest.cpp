#include <set>
#include <sstream>

#include "QXRollouts.h"
#include "server/ServerFixture.h"
#include "support/TempDir.h"

class RolloutTest : public ServerFixture {
protected:
    void SetUp() override {
        ServerFixture::SetUp();
        // Everyone on 1.0, so that a rollout of 2.0 shows; legacy keeps its own section.
        WriteBytes(Site() / "releases/Demo/application.ini",
                   "[Application]\nVersion=1.0\nVersions=1.0,2.0\n[User legacy]\nVersion=1.0\n");
    }
    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), "rollout");
        args.insert(args.end(), {"--app", "Demo", "--root", Site().string()});
        return Admin(args).exitCode;
    }
    // The version GetAppInf gives the user (second column of its row).
    std::string VersionOf(const std::string& user) {
        const std::string body = Post("GetAppInf", "sessionid=" + Login(user, user))->body;
        const auto start = body.find('\t', body.find("TBLDATBEGIN_99\r\n")) + 1;
        return body.substr(start, body.find('\t', start) - start);
    }
    httplib::Result Failed(const std::string& user,
                           const std::string& fields = "&application=Demo&toversion=2.0"
                                                       "&stage=install&duration=12") {
        return Post("AppUpdateFailed", "sessionid=" + Login(user, user) + fields +
                                           "&fromversion=1.0&reason=disk\tfull");
    }
};

TEST_F(RolloutTest, GroupRolloutReachesPilotsAndHaltsItselfOnFailures) {
    for (const char* name : {"p1", "p2", "p3", "p4"})
        ASSERT_EQ(Admin({"user", "add", name, "--password", name, "--group", "pilots"}).exitCode,
                  0);
    ASSERT_EQ(Admin({"user", "add", "other", "--password", "other", "--group", "ops,qa"}).exitCode,
              0);
    ASSERT_EQ(Admin({"user", "groups", "legacy", "Pilots"}).exitCode, 0);
    EXPECT_NE(Admin({"user", "list"}).out.find("\tops,qa\n"), std::string::npos);
    ASSERT_EQ(Run({"start", "--version", "2.0", "--group", "pilots", "--halt-on-failures", "50",
                   "--min-reports", "3"}),
              0);
    EXPECT_EQ(VersionOf("p1"), "2.0");
    EXPECT_EQ(VersionOf("other"), "1.0");
    EXPECT_EQ(VersionOf("legacy"), "1.0"); // its own section comes first
    // The audience may fetch the version it is given.
    const std::string pilot = "sessionid=" + Login("p1", "p1");
    EXPECT_EQ(Post("GetAppChecksum", pilot + "&application=Demo&version=2.0")->status, 200);

    // A success, then failures: two of three reports fail (67 % >= 50 %) only at the third.
    ASSERT_EQ(Post("AppUpdateDone", pilot + "&duration=9")->status, 200);
    ASSERT_EQ(Failed("p2")->status, 200);
    EXPECT_EQ(VersionOf("p4"), "2.0");
    ASSERT_EQ(Failed("p3")->status, 200);
    EXPECT_EQ(VersionOf("p4"), "1.0");
    EXPECT_NE(ReadBytes(ErrorLog()).find("rollout halted: 2 of 3 reports of 2.0 failed"),
              std::string::npos);
    const std::string status =
        Admin({"rollout", "status", "--app", "Demo", "--db", Database()}).out;
    EXPECT_NE(status.find("state\thalted\n"), std::string::npos) << status;
    EXPECT_NE(status.find("succeeded\t1\nfailed\t2\n"), std::string::npos) << status;
    EXPECT_NE(status.find("install: disk full"), std::string::npos) << status;
    EXPECT_NE(Admin({"reports"}).out.find("\tp3\tDemo\t2.0\tfailed\tinstall\tdisk full\n"),
              std::string::npos);
    // The days summed, so that a run across midnight counts alike; the newest failure first.
    std::istringstream summary(Admin({"reports", "--app", "Demo", "--days", "2"}).out);
    std::string line, day;
    long done = 0, failed = 0, d = 0, f = 0;
    std::getline(summary, line);
    while (std::getline(summary, line) && line != "latest failures:" &&
           std::istringstream(line) >> day >> d >> f)
        done += d, failed += f;
    EXPECT_EQ(std::make_pair(done, failed), std::make_pair(1L, 2L));
    std::getline(summary, line);
    EXPECT_NE(line.find("\tp3\t1.0 -> 2.0\tinstall\tdisk full"), std::string::npos) << line;

    EXPECT_EQ(Run({"resume"}), 0);
    EXPECT_EQ(VersionOf("p4"), "2.0");
    EXPECT_EQ(Run({"finish"}), 0);
    EXPECT_EQ(VersionOf("other"), "2.0");
    EXPECT_NE(ReadBytes(Site() / "releases/Demo/application.ini").find("Version=2.0"),
              std::string::npos);
    EXPECT_EQ(Run({"halt"}), 1); // finished
}

TEST_F(RolloutTest, PercentAudienceIsStableAndProportional) {
    std::size_t below = 0;
    std::set<int> shared;
    for (int i = 0; i < 2000; ++i) {
        const std::string name = "user" + std::to_string(i);
        const int bucket = CQXRollouts::Bucket(name, "Demo");
        below += bucket < 30;
        EXPECT_EQ(CQXRollouts::Bucket("USER" + std::to_string(i), "Demo"), bucket);
        if (bucket < 30 && CQXRollouts::Bucket(name, "Other") < 30)
            shared.insert(i);
    }
    EXPECT_NEAR(below, 600u, 60u);
    EXPECT_NEAR(shared.size(), 180u, 40u); // independent between applications

    // At the boundary through the server: the demo user enters at its bucket plus one.
    const int bucket = CQXRollouts::Bucket("demo", "Demo");
    ASSERT_EQ(Run({"start", "--version", "2.0", "--percent", std::to_string(bucket)}), 0);
    EXPECT_EQ(VersionOf("demo"), "1.0");
    ASSERT_EQ(Run({"set", "--percent", std::to_string(bucket + 1)}), 0);
    EXPECT_EQ(VersionOf("demo"), "2.0");
}

TEST_F(RolloutTest, BadRolloutsAndReportsAreRefused) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {{"start", "--version", "9.9", "--percent", "10"}, 1},
        {{"start", "--version", "../1.0", "--percent", "10"}, 1},
        {{"start", "--version", "2.0", "--percent", "101"}, 2},
        {{"start", "--version", "2.0", "--percent", "-5"}, 2},
        {{"start", "--version", "2.0", "--percent", "ten"}, 2},
        {{"start", "--version", "2.0"}, 2},
        {{"start", "--version", "2.0", "--percent", "5", "--halt-on-failures", "50"}, 2},
        {{"status"}, 1},
        {{"start", "--version", "2.0", "--percent", "10"}, 0},
        {{"start", "--version", "2.0", "--percent", "20"}, 1},
        {{"set", "--percent", "0x10"}, 2},
        {{"resume"}, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Run(c.args), c.exitCode) << c.args[0] << ' ' << c.args.back();

    const struct {
        const char* fields;
        int status;
    } reports[] = {
        {"&application=Demo&toversion=2.0&stage=unpack", 400},
        {"&application=Demo&stage=install", 400},
        {"&application=Nope&toversion=2.0&stage=install", 404},
        {"&application=Demo&toversion=2.0&stage=signature", 200},
    };
    for (const auto& r : reports)
        EXPECT_EQ(Failed("demo", r.fields)->status, r.status) << r.fields;
    // Kept with a bad duration (logged) and a long reason cut at a character's start.
    std::string reason = "x";
    for (int i = 0; i < 260; ++i)
        reason += '\xE9'; // two bytes each once read from code page 1252
    EXPECT_EQ(Failed("demo", "&application=Demo&toversion=2.0&stage=download&duration=soon"
                             "&lang=en&reason=" +
                                 reason)
                  ->status,
              200);
    std::string kept = "x";
    for (int i = 0; i < 249; ++i)
        kept += "\u00e9";
    EXPECT_NE(Admin({"reports"}).out.find("\tdownload\t" + kept + "\n"), std::string::npos);
    EXPECT_NE(ReadBytes(ErrorLog()).find("error: report: duration "), std::string::npos);
    EXPECT_EQ(Post("AppUpdateFailed", "sessionid=none&application=Demo")->status, 403);
}
