#include <gtest/gtest.h>
#include <memory>

#include "config/QXUrlParser.h"
#include "platform/System.h"
#include "support/TempDir.h"

namespace {

// A parser over an installation folder of its own holding content as its qxurl.net: the
// system may cache a profile file by name, so no two cases share one.
class Installation {
public:
    explicit Installation(const std::string& content, const char* fileName = "qxurl.net") {
        WriteBytes(m_dir.Path() / fileName, content);
        EXPECT_TRUE(m_parser.SetInstallationPath(m_dir.Path().wstring()));
    }
    CQXUrlParser* operator->() { return &m_parser; }

private:
    TempDir m_dir;
    CQXUrlParser m_parser;
};

std::vector<std::wstring> Urls(CQXUrlServerList& list) {
    std::vector<std::wstring> urls;
    for (QXUrlServerPtr server = list.GetCurrentServer(); server; server = list.NextServer())
        urls.push_back(server->GetUrl());
    list.ResetFailover();
    return urls;
}

using Texts = std::vector<std::wstring>;

} // namespace

TEST(UrlParserTest, ReadsNumberedServerKeysUpToTheFirstGap) {
    Installation numbered("[Config]\r\nURL1=http://one/\r\nURL2=http://two/\r\n");
    EXPECT_EQ(Urls(numbered->GetServerList()), (Texts{L"http://one/", L"http://two/"}));

    Installation gap("[Config]\r\nURL=http://plain/\r\nURL1=http://one/\r\nURL3=http://three/\r\n");
    EXPECT_EQ(Urls(gap->GetServerList()), (Texts{L"http://plain/", L"http://one/"}));

    Installation empty("[Config]\r\nURL=\r\nURL1=http://one/\r\nURL2=\r\nURL3=http://three/\r\n");
    EXPECT_EQ(Urls(empty->GetServerList()), (Texts{L"http://one/"}));

    Installation plainOnly("[config]\r\nurl = \"https://quoted:8443/x/\"\r\n");
    EXPECT_EQ(Urls(plainOnly->GetServerList()), (Texts{L"https://quoted:8443/x/"}));
    EXPECT_EQ(plainOnly->GetServerList().GetCurrentServer()->GetPort(), 8443);
}

TEST(UrlParserTest, RefusesPortsAboveTheSixteenBitRange) {
    Installation ports("[Config]\r\nURL1=http://h:0/\r\nURL2=http://h:65535/\r\n"
                       "URL3=http://h:65536/\r\nURL4=http://h:77777/\r\nURL5=http://h:x/\r\n");
    EXPECT_EQ(Urls(ports->GetServerList()),
              (Texts{L"http://h:0/", L"http://h:65535/", L"http://h:x/"}));
    EXPECT_EQ(ports->RefusedUrls(), (Texts{L"http://h:65536/", L"http://h:77777/"}));
}

TEST(UrlParserTest, DownloadServersShareTheRequestListsObjects) {
    Installation both("[Config]\r\nURL1=http://one/\r\nURL2=http://Two/qx/\r\n"
                      "[FileDownload]\r\nURL1=HTTP://two/QX/\r\nURL2=http://files/\r\n");
    CQXUrlServerList& requests = both->GetServerList();
    CQXUrlServerList& downloads = both->GetDownloadServerList();
    ASSERT_NE(&requests, &downloads);
    ASSERT_EQ(downloads.GetCount(), 2);

    const QXUrlServerPtr shared = requests.FindServer(L"http://two/qx/");
    EXPECT_EQ(downloads.GetCurrentServer().get(), shared.get());
    EXPECT_EQ(downloads.GetCurrentServer()->GetUrl(), L"http://Two/qx/");
    const QXUrlServerPtr files = downloads.FindServer(L"http://files/");
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(requests.FindServer(L"http://files/"), nullptr);
    EXPECT_EQ(requests.GetCount(), 2);

    // Failing over on the download list marks the shared server for the request list too.
    EXPECT_TRUE(both->HasReachableDownloadServer());
    downloads.NextServer();
    EXPECT_EQ(shared->IsReachable(), 0);
    downloads.NextServer();
    EXPECT_FALSE(both->HasReachableDownloadServer());
    EXPECT_TRUE(requests.HasReachableServer());
}

TEST(UrlParserTest, DownloadsUseTheRequestServersWithoutADownloadSection) {
    Installation config("[Config]\r\nURL=http://one/\r\n");
    EXPECT_EQ(&config->GetDownloadServerList(), &config->GetServerList());
    config->GetServerList().NextServer();
    EXPECT_FALSE(config->GetServerList().HasReachableServer());
    EXPECT_TRUE(config->HasReachableDownloadServer());
}

TEST(UrlParserTest, SwitchesAcceptOnlyTheirOwnWordInAnyCase) {
    struct Case {
        const char* section;
        const char* key;
        const char* value;
        bool on;
    };
    const Case cases[] = {
        {"Config", "SSO", "Yes", true},
        {"Config", "SSO", "yes", true},
        {"Config", "SSO", "YES", true},
        {"Config", "SSO", "Y", false},
        {"Config", "SSO", "1", false},
        {"Config", "SSO", "True", false},
        {"Config", "SSO", "Yes please", false},
        {"Config", "SecurityIgnoreUnknownCertificate", "yEs", true},
        {"Config", "SecurityIgnoreUnknownCertificate", "true", false},
        {"QXLauncher", "ForceUpdate", "True", true},
        {"QXLauncher", "ForceUpdate", "TRUE", true},
        {"QXLauncher", "ForceUpdate", "yes", false},
        {"QXLauncher", "ForceUpdate", "1", false},
        {"QXLauncher", "ForceReboot", "true", true},
        {"QXLauncher", "ForceReboot", "Yes", false},
        {"QXLauncher", "ChooseVersion", "true", true},
        {"QXLauncher", "ChooseVersion", "YES", true},
        {"QXLauncher", "ChooseVersion", "Oui", true},
        {"QXLauncher", "ChooseVersion", "o", true},
        {"QXLauncher", "ChooseVersion", "y", true},
        {"QXLauncher", "ChooseVersion", "1", true},
        {"QXLauncher", "ChooseVersion", "0", false},
        {"QXLauncher", "ChooseVersion", "no", false},
        {"QXLauncher", "ChooseVersion", "on", false},
        {"QXLauncher", "ChooseVersion", "11", false},
        {"QXLauncher", "ChooseVersion", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        Installation installation(std::string("[") + c.section + "]\r\n" + c.key + "=" + c.value +
                                  "\r\n");
        const std::string key = c.key;
        const bool sso = installation->SSO();
        const bool lenient = installation->GetRequestCertificateFlags() != 0;
        EXPECT_EQ(sso, key == "SSO" && c.on);
        EXPECT_EQ(lenient, key == "SecurityIgnoreUnknownCertificate" && c.on);
        EXPECT_EQ(installation->GetSecurityCertificateFlags() != 0, lenient);
        EXPECT_EQ(installation->ForceUpdate(), key == "ForceUpdate" && c.on);
        EXPECT_EQ(installation->ForceReboot(), key == "ForceReboot" && c.on);
        EXPECT_EQ(installation->ChooseVersion(), key == "ChooseVersion" && c.on);
    }
}

TEST(UrlParserTest, ReadsTextsAndTheCertificateFlags) {
    Installation installation("[Config]\r\nSecurityIgnoreUnknownCertificate=Yes\r\n"
                              "[QXLauncher]\r\nApplicationName=  Flux Pro  \r\n"
                              "LoginVariable=USERNAME\r\n");
    EXPECT_EQ(installation->ApplicationName(), L"Flux Pro");
    EXPECT_EQ(installation->LoginVariable(), L"USERNAME");
    EXPECT_EQ(installation->GetRequestCertificateFlags(), 0x3000u);
    EXPECT_EQ(installation->GetSecurityCertificateFlags(), 0x100u);
}

TEST(UrlParserTest, APublicKeyInAnotherSectionStillTurnsVerificationOn) {
    const std::pair<const char*, Texts> cases[] = {
        {"[Config]\r\nUpdatePublicKey=A\r\nUpdatePublicKey2=B\r\n", {L"A", L"B"}},
        {"[FileDownload]\r\nUpdatePublicKey=A\r\n", {L"A"}},
        {"[Config]\r\nUpdatePublicKey=A\r\n[QXLauncher]\r\nUpdatePublicKey=C\r\n", {L"C"}},
        {"[QXWIN]\r\nUpdatePublicKey=A\r\n", {}},
    };
    for (const auto& [content, keys] : cases) {
        Installation installation(content);
        EXPECT_EQ(installation->UpdatePublicKeys(), keys) << content;
    }
}

TEST(UrlParserTest, CutsALongValueTo1023Characters) {
    const std::string longName(2000, 'n');
    const std::string longUrl = "http://host/" + std::string(1988, 'p');
    Installation installation("[Config]\r\nURL=" + longUrl +
                              "\r\n[QXLauncher]\r\nApplicationName=" + longName + "\r\n");
    EXPECT_EQ(installation->ApplicationName(), std::wstring(1023, L'n'));
    const QXUrlServerPtr server = installation->GetServerList().GetCurrentServer();
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->GetUrl().size(), 1023u);
    EXPECT_EQ(server->GetPath().size(), 1023u - 11u);
}

TEST(UrlParserTest, WithoutAFileEverythingStaysOff) {
    TempDir dir;
    CQXUrlParser parser;
    EXPECT_FALSE(parser.SetInstallationPath(L""));
    EXPECT_TRUE(parser.SetInstallationPath(dir.Path().wstring() + qxplat::kPathSeparator));
    EXPECT_EQ(parser.GetFilePath(), dir.File(L"qxurl.net"));
    EXPECT_EQ(parser.GetServerList().GetCount(), 0);
    EXPECT_EQ(parser.GetDownloadServerList().GetCount(), 0);
    EXPECT_TRUE(parser.HasReachableDownloadServer());
    EXPECT_FALSE(parser.SSO() || parser.ForceUpdate() || parser.ForceReboot() ||
                 parser.ChooseVersion());
    EXPECT_EQ(parser.ApplicationName(), L"");
    EXPECT_EQ(parser.LoginVariable(), L"");
    EXPECT_EQ(parser.GetRequestCertificateFlags() | parser.GetSecurityCertificateFlags(), 0u);
}

TEST(UrlParserTest, ReadsTheFileOnceWhateverItsLetterCase) {
    Installation installation("[Config]\r\nURL=http://one/\r\n", "QXUrl.net");
    EXPECT_EQ(installation->GetServerList().GetCount(), 1);
    EXPECT_FALSE(installation->SetInstallationPath(L"elsewhere"));
    EXPECT_EQ(installation->GetServerList().GetCount(), 1);

    // A getter asked before the folder is known reads nothing and keeps the defaults.
    CQXUrlParser early;
    EXPECT_FALSE(early.SSO());
    EXPECT_EQ(early.GetServerList().GetCount(), 0);
}

TEST(UrlParserTest, ReadsAUtf16File) {
    const std::u16string text = u"[Config]\r\nURL1=http://\u00E9t\u00E9/\r\nURL2=http://two/\r\n"
                                u"[QXLauncher]\r\nApplicationName=\u65E5\u672C\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text)
        bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    Installation installation(bytes);
    EXPECT_EQ(Urls(installation->GetServerList()),
              (Texts{L"http://\u00E9t\u00E9/", L"http://two/"}));
    EXPECT_EQ(installation->ApplicationName(), L"\u65E5\u672C");
}

// Twenty thousand servers in each list, the download list naming the request servers in
// reverse order: every one found, in order, as the same object; duplicates keep the first.
TEST(UrlParserTest, ReadsThousandsOfServerKeys) {
    constexpr int kCount = 20000;
    std::string file = "[Config]\r\n";
    for (int n = 1; n <= kCount; ++n)
        file += "URL" + std::to_string(n) + "=http://s" + std::to_string(n) + "/\r\n";
    file += "url1=http://duplicate/\r\n[FileDownload]\r\n";
    for (int n = 1; n <= kCount; ++n)
        file += "URL" + std::to_string(n) + "=HTTP://S" + std::to_string(kCount + 1 - n) + "/\r\n";
    file += "[QXLauncher]\r\nApplicationName=flux\r\n";
    Installation installation(file);

    const std::vector<QXUrlServerPtr> requests = installation->GetServerList().GetServers();
    const std::vector<QXUrlServerPtr> downloads =
        installation->GetDownloadServerList().GetServers();
    ASSERT_EQ(requests.size(), static_cast<std::size_t>(kCount));
    ASSERT_EQ(downloads.size(), static_cast<std::size_t>(kCount));
    for (int n = 0; n < kCount; ++n) {
        ASSERT_EQ(requests[n]->GetUrl(), L"http://s" + std::to_wstring(n + 1) + L"/");
        ASSERT_EQ(downloads[n].get(), requests[kCount - 1 - n].get());
    }
    EXPECT_EQ(installation->ApplicationName(), L"flux");
}

TEST(UrlParserTest, ParallelDownloadsTakeOnlyAWholeNumberInRange) {
    const std::pair<const char*, int> cases[] = {
        {"", 4},  {"1", 1},  {"4", 4},  {"16", 16},          {"17", 4},
        {"0", 4}, {"-2", 4}, {"3x", 4}, {"999999999999", 4},
    };
    for (const auto& [value, count] : cases) {
        SCOPED_TRACE(value);
        Installation installation(std::string("[FileDownload]\r\nParallel=") + value + "\r\n");
        EXPECT_EQ(installation->ParallelDownloads(), count);
    }
    // Under [Config] it is not the download section's.
    Installation misplaced("[Config]\r\nParallel=1\r\n");
    EXPECT_EQ(misplaced->ParallelDownloads(), 4);
}
