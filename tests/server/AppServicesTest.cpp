#include <chrono>

#include "server/ServerFixture.h"

namespace {

const char* const kNoSession =
    "Code=-10\nDescription=Your session has expired. Please log in again.\n";
const char* const kUnknownApplication = "Code=-11\nDescription=Unknown application or version.\n";
const char* const kUnknownFile = "Code=-12\nDescription=Unknown file.\n";

} // namespace

class AppServicesTest : public ServerFixture {
protected:
    void SetUp() override {
        ServerFixture::SetUp();
        m_session = Login("demo", "demo");
    }
    // The body of a service that needs the session, with the session id in front.
    httplib::Result Call(const std::string& service, const std::string& rest) {
        return Post(service, "sessionid=" + m_session + rest);
    }
    httplib::Result File(const std::string& name, const std::string& version = "2.0") {
        return Call("GetAppFile",
                    "&application=Demo&version=" + version + "&filename=" + name + "&lang=en");
    }
    std::string m_session;
};

TEST_F(AppServicesTest, ApplicationInfoIsOneRowOfTheVersionTheUserGets) {
    const std::string columns =
        "COLONNES=Update|B;Version|S;ForceUpdate|B;ForceReboot|B;ApplicationName|S;"
        "ApplicationLabel|S;DaysBeforeForceUpdateValue|I;ReleaseNoteName|S;UpdateOnExit|B;"
        "StartBureauByDefault|B;ZipEnable|B;DaysBeforeForceChangePasswordValue|I;"
        "DaysBeforeChangePasswordWarning|I;WarningForceUpdate|B;UpdateReports|B;\r\n";
    const auto named = Call("GetAppInf", "&application=Demo&lang=en");
    EXPECT_EQ(named->status, 200);
    EXPECT_EQ(named->body, columns + "TBLDATBEGIN_99\r\n"
                                     "TRUE\t2.0\tFALSE\tFALSE\tDemo\tQX Demo\t7\tReleaseNote.txt\t"
                                     "FALSE\tFALSE\tFALSE\t90\t14\tFALSE\tTRUE\r\n"
                                     "TBLDATEND_99\r\n");
    // Without an application name the site's default one answers.
    EXPECT_EQ(Call("GetAppInf", "")->body, named->body);

    const std::string legacy = "sessionid=" + Login("legacy", "legacy");
    EXPECT_EQ(Post("GetAppInf", legacy)->body,
              columns + "TBLDATBEGIN_99\r\n"
                        "TRUE\t1.0\tFALSE\tFALSE\tDemo\tQX Demo\t0\tReleaseNote.txt\t"
                        "FALSE\tFALSE\tFALSE\t90\t14\tFALSE\tTRUE\r\n"
                        "TBLDATEND_99\r\n");
    Start({"--insecure-sso"});
    const std::string sso = "sessionid=" + SessionCookie(Post("P3SSO", "password=&user=sso"));
    EXPECT_NE(Post("GetAppInf", sso)->body.find("\t-1\t-1\tFALSE\tTRUE\r\n"), std::string::npos);

    const auto unknown = Call("GetAppInf", "&application=Nope&lang=en");
    EXPECT_EQ(unknown->status, 404);
    EXPECT_EQ(unknown->body, kUnknownApplication);
}

TEST_F(AppServicesTest, VersionListAndPrimaryFollowWhatTheUserMayChoose) {
    EXPECT_EQ(Call("GetAppVersionList", "&applicationname=Demo&lang=en")->body,
              "COLONNES=VersionName|S;\r\nTBLDATBEGIN_99\r\n1.0\r\n2.0\r\nTBLDATEND_99\r\n");
    EXPECT_EQ(Call("GetAppPrimary", "&applicationname=Demo&versionname=1.0&lang=en")->body,
              "COLONNES=PrimaryName|S;PrimaryParameters|S;\r\nTBLDATBEGIN_99\r\n"
              "qxflux.exe\t-CS $SESSIONID$,$USERNAME$\r\nTBLDATEND_99\r\n");

    const std::string legacy = "sessionid=" + Login("legacy", "legacy");
    EXPECT_EQ(Post("GetAppVersionList", legacy + "&applicationname=Demo&lang=en")->body,
              "COLONNES=VersionName|S;\r\nTBLDATBEGIN_99\r\n1.0\r\nTBLDATEND_99\r\n");
    for (const char* service : {"GetAppPrimary", "GetAppChecksum"}) {
        const auto refused = Post(service, legacy + "&applicationname=Demo&versionname=2.0"
                                                    "&application=Demo&version=2.0&lang=en");
        EXPECT_EQ(refused->status, 404) << service;
        EXPECT_EQ(refused->body, kUnknownApplication) << service;
    }
}

TEST_F(AppServicesTest, ChecksumListsEveryFileWithItsFolderAndManifestSettings) {
    // A run bit of any class marks the file executable.
    std::filesystem::permissions(Site() / "releases/Demo/2.0/bin/setup-fonts.cmd",
                                 std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    const auto result = Call("GetAppChecksum", "&application=Demo&version=2.0&lang=en");
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->body,
              "COLONNES=FileName|S;FilePath|S;FileSize|I;FileChecksum|I;FileMode|S;IsActiveX|B;"
              "HasToBeLaunched|B;Parameters|S;FileExecutable|B;\r\n"
              "TBLDATBEGIN_99\r\n"
              "ReleaseNote.txt\t--\t54\t789740935\tdelta\tFALSE\tFALSE\t\tFALSE\r\n"
              "chart.dll\tbin/plugins\t13\t1399248505\tdelta\tTRUE\tFALSE\t\tFALSE\r\n"
              "setup-fonts.cmd\tbin\t23\t4119857128\tupdate\tFALSE\tFALSE\t/quiet\tTRUE\r\n"
              "guide.txt\tdocs\t23\t20873799\tdelta\tFALSE\tFALSE\t\tFALSE\r\n"
              "qxflux.exe\t--\t11\t3227199358\tdelta\tFALSE\tFALSE\t\tFALSE\r\n"
              "old-plugin.dll\tbin\t0\t0\tdelete\tFALSE\tFALSE\t\tFALSE\r\n"
              "TBLDATEND_99\r\n");
}

TEST_F(AppServicesTest, ChecksumFollowsAFileThatChanges) {
    const auto file = Site() / "releases/Demo/2.0/qxflux.exe";
    const auto row = [this] {
        const std::string body =
            Call("GetAppChecksum", "&application=Demo&version=2.0&lang=en")->body;
        const auto start = body.find("qxflux.exe\t");
        return body.substr(start, body.find("\r\n", start) - start);
    };
    EXPECT_EQ(row(), "qxflux.exe\t--\t11\t3227199358\tdelta\tFALSE\tFALSE\t\tFALSE");
    // Same size, other bytes, a later time stamp.
    const auto before = std::filesystem::last_write_time(file);
    WriteBytes(file, "abc56789012");
    std::filesystem::last_write_time(file, before + std::chrono::seconds(5));
    const std::string changed = row();
    EXPECT_NE(changed, "qxflux.exe\t--\t11\t3227199358\tdelta\tFALSE\tFALSE\t\tFALSE");
    EXPECT_EQ(changed.rfind("qxflux.exe\t--\t11\t", 0), 0u) << changed;
    WriteBytes(file, "abc");
    EXPECT_EQ(row(), "qxflux.exe\t--\t3\t1677554\tdelta\tFALSE\tFALSE\t\tFALSE");
}

TEST_F(AppServicesTest, FileBodyIsTheFileAndNothingOutsideTheVersionIsServed) {
    const auto chart = File("bin/plugins/chart.dll");
    EXPECT_EQ(chart->status, 200);
    EXPECT_EQ(chart->body, "chart plugin\n");
    EXPECT_EQ(chart->get_header_value("Content-Length"), "13");
    EXPECT_EQ(File("qxflux.exe", "1.0")->body, "qxflux 1.0\n");

    const std::string big(3 * 1024 * 1024 + 17, 'q');
    WriteBytes(Site() / "releases/Demo/2.0/docs/big.bin", big);
    EXPECT_EQ(File("docs/big.bin")->body, big);
    WriteBytes(Site() / "releases/Demo/2.0/docs/empty.txt", "");
    const auto empty = File("docs/empty.txt");
    EXPECT_EQ(empty->status, 200);
    EXPECT_EQ(empty->body, "");

    WriteBytes(m_dir.Path() / "secret.txt", "secret");
    std::filesystem::create_symlink(m_dir.Path() / "secret.txt",
                                    Site() / "releases/Demo/2.0/docs/link.txt");
    for (const char* name :
         {"bin/old-plugin.dll", "missing.txt", "../1.0/qxflux.exe", "bin/../../1.0/qxflux.exe",
          "/etc/passwd", "docs/link.txt", "bin", ""}) {
        const auto refused = File(name);
        EXPECT_EQ(refused->status, 404) << name;
        EXPECT_EQ(refused->body, kUnknownFile) << name;
    }
    const auto badVersion = File("qxflux.exe", "../2.0");
    EXPECT_EQ(badVersion->status, 404);
    EXPECT_EQ(badVersion->body, kUnknownApplication);
}

TEST_F(AppServicesTest, FileNamesTravelInTheCodePageOfTheRequestLanguage) {
    WriteBytes(Site() / "releases/Demo/2.0/docs/caf\u00e9.txt", "menu\n");
    const auto list = Call("GetAppChecksum", "&application=Demo&version=2.0&lang=fr");
    EXPECT_NE(list->body.find("\ncaf\xe9.txt\tdocs\t5\t"), std::string::npos) << list->body;
    EXPECT_EQ(list->get_header_value("Content-Type"), "text/plain; charset=windows-1252");
    const auto file =
        Call("GetAppFile", "&application=Demo&version=2.0&filename=docs/caf\xe9.txt&lang=fr");
    EXPECT_EQ(file->status, 200);
    EXPECT_EQ(file->body, "menu\n");
    // A name the Japanese page lacks goes out as '?', the page's own characters as they are.
    WriteBytes(Site() / "releases/Demo/2.0/docs/\u30e1\u30e2.txt", "memo\n");
    const auto japanese = Call("GetAppChecksum", "&application=Demo&version=2.0&lang=ja")->body;
    EXPECT_NE(japanese.find("\ncaf?.txt\tdocs\t"), std::string::npos) << japanese;
    EXPECT_NE(japanese.find("\n\x83\x81\x83\x82.txt\tdocs\t"), std::string::npos) << japanese;
}

TEST_F(AppServicesTest, EveryInformationAndFileServiceNeedsALiveSession) {
    for (const char* service :
         {"GetAppInf", "GetAppVersionList", "GetAppPrimary", "GetAppChecksum", "GetAppFile",
          "GetAppZippedFiles", "AppUpdateDone", "ExtendSession"}) {
        for (const std::string& session :
             {std::string(), std::string("0123456789abcdef"), m_session + "0"}) {
            const auto refused = Post(service, "sessionid=" + session +
                                                   "&application=Demo&version=2.0"
                                                   "&applicationname=Demo&versionname=2.0"
                                                   "&filename=qxflux.exe&lang=en");
            EXPECT_EQ(refused->status, 403) << service;
            EXPECT_EQ(refused->body, kNoSession) << service;
        }
    }
}

TEST_F(AppServicesTest, UnknownServicesAndZippedDownloadsAreRefused) {
    const auto unknown = Call("GetEverything", "&lang=en");
    EXPECT_EQ(unknown->status, 404);
    EXPECT_EQ(unknown->body, "Code=-15\nDescription=Unknown service.\n");
    // Outside the base path nothing is a service.
    httplib::Client client(Server().Host(), Server().Port());
    EXPECT_EQ(client.Post("/P3Login", "password=demo&user=demo", "text/plain")->status, 404);

    const auto zipped = Call("GetAppZippedFiles", "&application=Demo&version=2.0&lang=en");
    EXPECT_EQ(zipped->status, 501);
    EXPECT_EQ(zipped->body, "Code=-14\nDescription=This server does not offer zipped downloads.\n");
}

TEST_F(AppServicesTest, UpdateDoneRecordsTheVersionTheSessionWorkedOn) {
    const auto early = Call("AppUpdateDone", "&lang=en");
    EXPECT_EQ(early->status, 404);
    EXPECT_EQ(Call("GetAppChecksum", "&application=Demo&version=1.0&lang=en")->status, 200);
    EXPECT_EQ(Call("AppUpdateDone", "&lang=en")->status, 200);
    const auto reports = Admin({"reports"});
    EXPECT_EQ(reports.exitCode, 0);
    ASSERT_EQ(std::count(reports.out.begin(), reports.out.end(), '\n'), 1) << reports.out;
    EXPECT_NE(reports.out.find("Z\tdemo\tDemo\t1.0\n"), std::string::npos) << reports.out;
}
