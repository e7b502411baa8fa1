#include <fstream>
#include <regex>
#include <sys/stat.h>

#include "base/QXText.h"
#include "protocol/QXLReplySignature.h"
#include "server/ServerFixture.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

long long Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

class SigningTest : public ServerFixture {
protected:
    void SetUp() override {
        ServerFixture::SetUp();
        const ProcessResult made =
            RunProcess(QX_SERVER_BINARY, {"keygen", "--out", Keys().string()});
        ASSERT_EQ(0, made.exitCode) << made.err;
        std::string key = ReadText(Keys() / "public-key.txt");
        ASSERT_FALSE(key.empty());
        key.pop_back(); // the line end
        m_keys = {QXFromUtf8(key)};
    }
    fs::path Keys() const { return m_dir.Path() / "keys"; }
    httplib::Result Call(const std::string& service, const std::string& rest) {
        return Post(service, "sessionid=" + m_session + rest);
    }
    // The launcher's verdict on a reply to service for application and version.
    QXLSignatureVerdict Verdict(const httplib::Result& result, const std::string& service,
                                const std::string& application, const std::string& version,
                                const std::string& user = "demo") {
        const std::string header = result->get_header_value(kQXLSignatureHeader);
        return QXLCheckReplySignature(m_keys,
                                      result->has_header(kQXLSignatureHeader) ? &header : nullptr,
                                      {service, application, version, user}, result->body, Now());
    }

    std::vector<std::wstring> m_keys;
    std::string m_session;
};

TEST_F(SigningTest, KeygenWritesAPrivateKeyOnlyTheOwnerReadsAndNeverOverwritesOne) {
    struct stat info {};
    ASSERT_EQ(0, stat((Keys() / "signing-key.pem").c_str(), &info));
    EXPECT_EQ(0600u, info.st_mode & 0777);
    EXPECT_TRUE(std::regex_match(ReadText(Keys() / "public-key.txt"),
                                 std::regex("[A-Za-z0-9+/]{122}==\n")));
    const std::string before = ReadText(Keys() / "signing-key.pem");
    EXPECT_EQ(1, RunProcess(QX_SERVER_BINARY, {"keygen", "--out", Keys().string()}).exitCode);
    EXPECT_EQ(before, ReadText(Keys() / "signing-key.pem"));
}

TEST_F(SigningTest, SigningServerSignsWhatDecidesTheInstallAndListsEachFilesSha256) {
    Start({"--signing-key", (Keys() / "signing-key.pem").string()});
    m_session = Login("demo", "demo");
    const auto info = Call("GetAppInf", "");
    EXPECT_EQ(QXLSignatureVerdict::Valid, Verdict(info, "GetAppInf", "", ""));
    const auto named = Call("GetAppInf", "&application=Demo&lang=en");
    EXPECT_EQ(QXLSignatureVerdict::Valid, Verdict(named, "GetAppInf", "Demo", ""));
    const auto versions = Call("GetAppVersionList", "&applicationname=Demo&lang=en");
    EXPECT_EQ(QXLSignatureVerdict::Valid, Verdict(versions, "GetAppVersionList", "Demo", ""));
    const auto primary = Call("GetAppPrimary", "&applicationname=Demo&versionname=2.0&lang=en");
    EXPECT_EQ(QXLSignatureVerdict::Valid, Verdict(primary, "GetAppPrimary", "Demo", "2.0"));
    const auto list = Call("GetAppChecksum", "&application=Demo&version=2.0&lang=en");
    EXPECT_EQ(QXLSignatureVerdict::Valid, Verdict(list, "GetAppChecksum", "Demo", "2.0"));
    EXPECT_EQ(QXLSignatureVerdict::Mismatch, Verdict(list, "GetAppChecksum", "Demo", "1.0"));
    // Bound to the session's user: demo's reply replayed to another user is refused.
    EXPECT_EQ(QXLSignatureVerdict::Mismatch, Verdict(info, "GetAppInf", "", "", "legacy"));
    // Launchers that predate the user find their format-1 signature in its own header.
    EXPECT_EQ(list->get_header_value("X-QX-Signature").rfind("1 ", 0), 0u);

    // An hour to live, from the server's clock.
    const std::string header = list->get_header_value(kQXLSignatureHeader);
    const long long expires = std::stoll(header.substr(2, header.find(' ', 2) - 2));
    EXPECT_LE(Now() + 3600 - 5, expires);
    EXPECT_GE(Now() + 3600 + 5, expires);

    // Each row ends with its file's SHA-256; a deletion has that of no bytes.
    EXPECT_NE(list->body.find("Parameters|S;FileExecutable|B;FileSha256|S;\r\n"),
              std::string::npos);
    EXPECT_NE(list->body.find("guide.txt\tdocs\t23\t20873799\tdelta\tFALSE\tFALSE\t\t"),
              std::string::npos);
    EXPECT_NE(list->body.find("old-plugin.dll\tbin\t0\t0\tdelete\tFALSE\tFALSE\t\tFALSE\t"
                              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"),
              std::string::npos);

    // Files, refusals and the session services carry no signature.
    for (const auto& result :
         {Call("GetAppFile", "&application=Demo&version=2.0&filename=docs/guide.txt&lang=en"),
          Call("GetAppChecksum", "&application=Demo&version=9.9&lang=en"),
          Call("ExtendSession", "&lang=en")})
        EXPECT_FALSE(result->has_header(kQXLSignatureHeader)) << result->body;
}

TEST_F(SigningTest, SiteWithoutAKeyAnswersAsBefore) {
    m_session = Login("demo", "demo");
    const auto list = Call("GetAppChecksum", "&application=Demo&version=2.0&lang=en");
    EXPECT_FALSE(list->has_header(kQXLSignatureHeader));
    EXPECT_EQ(list->body.find("FileSha256"), std::string::npos);
    EXPECT_EQ(QXLSignatureVerdict::Missing, Verdict(list, "GetAppChecksum", "Demo", "2.0"));
}
