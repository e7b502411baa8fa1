// The site commands (check, publish, preview) and how serve treats a broken site.
#include <filesystem>

#include "server/ServerFixture.h"

namespace fs = std::filesystem;

namespace {

ProcessResult Qx(const std::vector<std::string>& args) {
    return RunProcess(QX_SERVER_BINARY, args);
}

std::size_t StagedLeftovers(const fs::path& folder) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        count += entry.path().filename().string().rfind(".publish-", 0) == 0;
    return count;
}

} // namespace

class SiteTest : public ServerFixture {
protected:
    fs::path Demo() const { return Site() / "releases/Demo"; }
    std::string Session() { return "sessionid=" + Login("demo", "demo") + "&lang=en"; }
};

TEST_F(SiteTest, CheckNamesEachMistakeWithFileAndLine) {
    // The Linux launcher starts "qxflux" for "qxflux.exe": such a release is sound.
    fs::rename(Demo() / "2.0/qxflux.exe", Demo() / "2.0/qxflux");
    const auto clean = Qx({"check", "--root", Site().string()});
    EXPECT_EQ(clean.exitCode, 0) << clean.out;
    EXPECT_NE(clean.out.find("1 application(s), 2 version(s), 8 file(s), 0 problem(s)"),
              std::string::npos);

    const struct {
        const char* file;
        const char* content;
        const char* expected;
    } cases[] = {
        {"Demo/application.ini", "[Application]\nVersion=1.3\n",
         "Demo/application.ini:2: Version=1.3: version 1.3 has no folder Demo/1.3/"},
        {"Demo/application.ini", "[Application]\nVersions=1.0, 9\n",
         ":2: Versions=1.0, 9: version 9"},
        {"Demo/application.ini", "\n[User bob]\nVersion=7\n", ":3: Version=7: version 7 has no"},
        {"Demo/application.ini", "[Application]\nLabl=x\n", ":2: warning: unknown key Labl"},
        {"Demo/2.0.ini", "[Version]\nPrimaryName=nope.exe\n",
         "2.0.ini:2: PrimaryName=nope.exe is not a file of"},
        {"Demo/2.0.ini", "[Version]\nForceUpdate=ture\n", ":2: ForceUpdate=ture is not TRUE"},
        {"Demo/2.0.ini", "[File a]\nMode=zap\n", "2.0.ini:2: Mode=zap is not a mode"},
        {"Demo/2.0.ini", "\n[File ../x]\n", "2.0.ini:2: [File ../x]: the launcher refuses"},
        {"Demo/2.0.ini", "[File /etc/x]\n",
         ":1: [File /etc/x]: the launcher refuses this name (abs"},
        {"Demo/2.0.ini", "[File C:/x]\n", ":1: [File C:/x]: the launcher refuses this name (drive"},
        {"Demo/2.0/a\\b", "", "2.0/a\\b: the launcher refuses this name (separator"},
        {"Demo/.publish-3.0-x/f", "", ".publish-3.0-x: warning: left by an interrupted publish"},
        {"../site.ini", "[Site]\nDefaultApplication=Nope\n", "site.ini:2: DefaultApplication=Nope"},
        {"Demo/application.ini", "[Application]\nVersion 2.0\n", ":2: warning: not a [section]"},
        {"Demo/application.ini", "[Application]\nVersion=2.0\nversion=1.3\n",
         ":3: warning: version again in [Application]: line 2 counts"},
        {"Demo/5.0.ini", "[Version]\n", "5.0.ini: warning: settings of a version that has no"},
    };
    for (const auto& c : cases) {
        const fs::path file = Site() / "releases" / c.file;
        const std::string before = fs::exists(file) ? ReadBytes(file) : std::string();
        fs::create_directories(file.parent_path());
        WriteBytes(file, c.content);
        const auto result = Qx({"check", "--root", Site().string()});
        EXPECT_EQ(result.exitCode, 1) << c.file << ": " << c.content;
        EXPECT_NE(result.out.find(c.expected), std::string::npos) << c.expected << "\n"
                                                                  << result.out;
        if (before.empty())
            fs::remove_all(c.file[5] == '.' ? file.parent_path() : file);
        else
            WriteBytes(file, before);
    }
}

TEST_F(SiteTest, ServeRefusesABrokenSiteAndIgnoresAStagedFolder) {
    WriteBytes(Demo() / "application.ini", "[Application]\nVersion=1.3\n");
    auto args = ServeArgs();
    args.insert(args.begin(), "serve");
    const auto refused = Qx(args);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("application.ini:2: Version=1.3: version 1.3 has no folder"),
              std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("is not served"), std::string::npos);

    // A staged folder is a warning: the server starts and never lists it.
    WriteBytes(Demo() / "application.ini", "[Application]\n");
    fs::copy(Demo() / "2.0", Demo() / ".publish-3.0-x", fs::copy_options::recursive);
    Start();
    const std::string session = Session();
    EXPECT_EQ(Post("GetAppVersionList", session + "&applicationname=Demo")->body.find("publish"),
              std::string::npos);
    EXPECT_EQ(
        Post("GetAppPrimary", session + "&applicationname=Demo&versionname=.publish-3.0-x")->status,
        404);
}

TEST_F(SiteTest, VersionWithoutFolderIsRefusedWithItsReasonLogged) {
    const std::string session = Session();
    WriteBytes(Demo() / "application.ini", "[Application]\nVersion=1.3\nVersions=1.0,1.3\n");
    EXPECT_EQ(Post("GetAppInf", session + "&application=Demo")->status, 404);
    EXPECT_EQ(Post("GetAppPrimary", session + "&applicationname=Demo&versionname=1.3")->status,
              404);
    EXPECT_EQ(Post("GetAppPrimary", session + "&applicationname=Demo&versionname=1.0")->status,
              200);
    const std::string log = ReadBytes(ErrorLog());
    EXPECT_NE(log.find(" error: site: Demo names version 1.3 for demo, but it has no folder "
                       "releases/Demo/1.3/"),
              std::string::npos)
        << log;
}

TEST_F(SiteTest, PublishMovesTheReleaseInAtOnceAndACrashLeavesTheOldSite) {
    const fs::path from = m_dir.Path() / "build-3.0";
    fs::create_directories(from);
    WriteBytes(from / "qxflux.exe", std::string(8192, 'x'));
    WriteBytes(m_dir.Path() / "3.0.ini", "[Version]\nPrimaryName=qxflux.exe\n");
    const std::vector<std::string> publish = {"publish",
                                              "--root",
                                              Site().string(),
                                              "--app",
                                              "Demo",
                                              "--version",
                                              "3.0",
                                              "--from",
                                              from.string(),
                                              "--manifest",
                                              (m_dir.Path() / "3.0.ini").string(),
                                              "--make-current"};
    // Killed by the file size limit in the middle of copying.
    std::vector<std::string> limited = {"-c", "ulimit -f 4; exec \"$0\" \"$@\"", QX_SERVER_BINARY};
    limited.insert(limited.end(), publish.begin(), publish.end());
    EXPECT_EQ(RunProcess("/bin/sh", limited).exitCode, -1);
    EXPECT_FALSE(fs::exists(Demo() / "3.0"));
    EXPECT_EQ(StagedLeftovers(Demo()), 1u);
    const std::string session = Session();
    EXPECT_NE(Post("GetAppInf", session + "&application=Demo")->body.find("\t2.0\t"),
              std::string::npos);
    EXPECT_NE(Qx({"check", "--root", Site().string()}).out.find("left by an interrupted publish"),
              std::string::npos);

    const auto done = Qx(publish);
    EXPECT_EQ(done.exitCode, 0) << done.out << done.err;
    EXPECT_TRUE(ReadBytes(Demo() / "3.0/qxflux.exe") == std::string(8192, 'x'));
    EXPECT_NE(ReadBytes(Demo() / "application.ini").find("[User legacy]"), std::string::npos);
    EXPECT_NE(Post("GetAppInf", session + "&application=Demo")->body.find("\t3.0\t"),
              std::string::npos);
    const auto again = Qx(publish);
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.out.find("is published already"), std::string::npos);

    WriteBytes(m_dir.Path() / "4.0.ini", "[Version]\nPrimaryName=gone.exe\n");
    const auto broken =
        Qx({"publish", "--root", Site().string(), "--app", "Demo", "--version", "4.0", "--from",
            from.string(), "--manifest", (m_dir.Path() / "4.0.ini").string()});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_NE(broken.out.find("4.0.ini:2: PrimaryName=gone.exe is not a file of " + from.string()),
              std::string::npos)
        << broken.out;
    EXPECT_FALSE(fs::exists(Demo() / "4.0"));
    EXPECT_FALSE(fs::exists(Demo() / "4.0.ini"));
    EXPECT_EQ(StagedLeftovers(Demo()), 1u);

    // Settings a publish stopped between its renames left are not taken for the new version's.
    WriteBytes(Demo() / "4.0.ini", "[Version]\nPrimaryName=gone.exe\n");
    const std::vector<std::string> bare = {"publish", "--root", Site().string(), "--app",
                                           "Demo",    "--from", from.string(),   "--version"};
    std::vector<std::string> orphan = bare;
    orphan.push_back("4.0");
    EXPECT_NE(Qx(orphan).out.find("4.0.ini: settings of a version that has no folder are there"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(Demo() / "4.0"));
    std::vector<std::string> fresh = bare;
    fresh.insert(fresh.end(), {"1.0", "--make-current"});
    fresh[4] = "Fresh";
    EXPECT_EQ(Qx(fresh).exitCode, 0);
    EXPECT_EQ(ReadBytes(Site() / "releases/Fresh/application.ini"),
              "[Application]\r\nVersion=1.0\r\n");
}

TEST_F(SiteTest, PreviewShowsWhatAPerUserSectionGives) {
    const auto legacy = Qx({"preview", "--root", Site().string(), "--user", "LEGACY"});
    EXPECT_EQ(legacy.exitCode, 0) << legacy.out;
    for (const char* line :
         {"  Version = 1.0\n", "GetAppVersionList\n  VersionName = 1.0\n",
          "GetAppPrimary 1.0\n  PrimaryName = qxflux.exe\n", "  old-plugin.dll\tbin\t11\t"})
        EXPECT_NE(legacy.out.find(line), std::string::npos) << line << "\n" << legacy.out;
    EXPECT_NE(Qx({"preview", "--root", Site().string(), "--user", "demo", "--app", "Demo"})
                  .out.find("  Version = 2.0\n"),
              std::string::npos);

    WriteBytes(Demo() / "application.ini", "[User bob]\nVersion=1.3\n");
    const auto bob = Qx({"preview", "--root", Site().string(), "--user", "bob"});
    EXPECT_EQ(bob.exitCode, 1);
    EXPECT_NE(bob.out.find("reason: site: Demo names version 1.3 for bob"), std::string::npos)
        << bob.out;
}
