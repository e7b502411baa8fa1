#include <gtest/gtest.h>
#include <string>

#include "app/QXLDoctor.h"
#include "platform/RunOnce.h"
#include "platform/Text.h"
#include "support/QxServer.h"
#include "support/TempDir.h"

namespace {

// The report of a check of a folder holding qxurl.net with content (and the installer unless
// told otherwise), with the given arguments.
struct Report {
    int exitCode = -1;
    std::string text;
};

Report Check(const std::string& content, const std::vector<std::wstring>& arguments = {},
             bool withInstaller = true) {
    TempDir folder;
    WriteBytes(folder.Path() / "qxurl.net", content);
    if (withInstaller)
        WriteBytes(folder.Path() / qxplat::ProgramFileName(L"QXInstaller"), "MZ");
    Report report;
    report.exitCode = CQXLDoctor([&report](const std::wstring& line) {
                          report.text += qxplat::ToNarrow(line) + "\n";
                      }).Run(folder.Path().wstring(), arguments);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}),
              withInstaller ? 2 : 1)
        << "the check wrote in the folder";
    return report;
}

std::string Config(const std::wstring& url, const std::string& more = "") {
    return "[Config]\r\nURL1=" + qxplat::ToNarrow(url) + "\r\n" + more;
}

} // namespace

// Each mistake that used to end silently or opaquely is named on a PROBLEM line of its own.
TEST(DoctorTest, NamesEachMistakeOnALineOfItsOwn) {
    QxServer server;
    const std::string url = qxplat::ToNarrow(server.Url());
    std::wstring tlsAsPlain = server.TlsUrl();
    tlsAsPlain.erase(4, 1);
    const struct {
        std::string content;
        std::string line;
        bool withInstaller = true;
    } cases[] = {
        {"[QXLauncher]\r\nURL1=" + url + "\r\n", "URL1 belongs in [Config]: it is ignored here"},
        {"[QXLauncher]\r\nURL1=" + url + "\r\n", "no URL in [Config]"},
        {Config(server.Url()), "QXInstaller", false},
        {Config(server.Url() + L"wrong/"), "the server has no such service (status 404)"},
        {Config(L"http://127.0.0.1:1/"), "the connection was refused"},
        {Config(server.TlsUrl()), "the server's certificate is not trusted"},
        {Config(tlsAsPlain), "an HTTPS server needs an https:// URL"},
        {Config(server.Url(), "UpdatePublicKey=MFkw\r\n"),
         "UpdatePublicKey belongs in [QXLauncher]"},
        {Config(server.Url(), "[QXLauncher]\r\nUpdatePublicKey=MFkw\r\n"),
         "UpdatePublicKey is malformed"},
        {Config(server.Url(), "SecurityCAFile=none.pem\r\n"), "SecurityCAFile: cannot read"},
        {Config(server.Url(), "URL3=" + url + "\r\nSSO=True\r\n"), "URL3 is never read"},
        {Config(server.Url(), "SSO=True\r\n"), "SSO=True leaves it off"},
        {Config(server.Url(), "[FileDownload]\r\nParallel=32\r\n"),
         "Parallel=32 is not a whole number from 1 to 16: 4 files"},
        {Config(server.Url(), "Parallel=2\r\n"), "Parallel belongs in [FileDownload]"},
        {Config(server.Url(), "[QXLaunch]\r\nForceUpdate=True\r\n"), "unknown section [qxlaunch]"},
    };
    for (const auto& c : cases) {
        const Report report = Check(c.content, {L"-check"}, c.withInstaller);
        EXPECT_EQ(report.exitCode, 1) << report.text;
        std::string wanted = c.line;
        const std::size_t at = report.text.find(wanted);
        ASSERT_NE(at, std::string::npos) << wanted << "\n" << report.text;
        EXPECT_EQ(report.text.rfind("PROBLEM  ", at), report.text.rfind('\n', at) + 1)
            << wanted << "\n"
            << report.text;
    }
}

TEST(DoctorTest, AllIsWellWithTheServersAndTheLoginAndThePlanIsTold) {
    QxServer server;
    const Report report = Check(Config(server.Url(), "[QXLauncher]\r\nApplicationName=Demo\r\n"),
                                {L"-check", L"-serverLogin", L"demo", L"-serverPassword", L"demo"});
    EXPECT_EQ(report.exitCode, 0) << report.text;
    EXPECT_NE(report.text.find("ok       logged in as demo"), std::string::npos) << report.text;
    EXPECT_NE(report.text.find("file(s) to fetch"), std::string::npos) << report.text;
    EXPECT_NE(report.text.find("All is well."), std::string::npos) << report.text;
}
