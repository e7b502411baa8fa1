#include <gtest/gtest.h>
#include <string>

#include "base/QXText.h"
#include "support/HttpPeers.h"
#include "support/Installation.h"
#include "unit/SignedReplyVectors.h"
#include "update/QXLLastPrimary.h"

using namespace signedvectors;

namespace {

const std::string kKeyLine = std::string("[QXLauncher]\r\nUpdatePublicKey=") + kKeyA + "\r\n";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class SignedReplyTest : public ::testing::Test {
protected:
    HttpPeers peers = LoadHttpPeers();

    // The peer's server whose every service answers with body and the signature header.
    std::wstring Replay(const std::string& header, const std::string& body = kSignedBody) const {
        const std::string path = "/replay/" + PeerHex(header) + "/" + PeerHex(body) + "/";
        return peers.peer + std::wstring(path.begin(), path.end());
    }
    // Asks for the file list of Demo 2.0, as the launcher does after GetAppPrimary.
    static bool GetFileList(Installation& install) {
        install.Client().SetSessionId(L"S1");
        install.Server().SetSessionUserName(L"ann");
        install.Client().SetApplicationName(L"Demo");
        install.Client().SetVersionName(L"2.0");
        return install.Server().GetFileList();
    }
};

} // namespace

TEST_F(SignedReplyTest, EachBadReplyIsAFailedAttemptWithItsReasonAndTheNextServerIsRead) {
    std::string otherBody = kSignedBody;
    otherBody.replace(otherBody.find("\t3\t"), 3, "\t4\t");
    const std::string laterExpiry = std::string(kSignedByA).replace(2, 10, "4102444801");
    const std::string mismatch =
        "the signature does not match this request and body with any configured key";
    const std::pair<std::wstring, std::string> cases[] = {
        {Replay(""), "the reply carries no signature"},
        {Replay("2 4102444800 not-base64"), "the signature header is malformed"},
        {Replay(kSignedExpired), "the signature has expired"},
        {Replay(kSignedByA, otherBody), mismatch},
        {Replay(laterExpiry), mismatch},
        {Replay(kSignedByB), mismatch},
        {Replay(kSignedForVersion1), mismatch},
        {Replay(kSignedForPrimary), mismatch},
        {Replay(kSignedForBob), mismatch},
    };
    const std::wstring good = Replay(kSignedByA);
    for (const auto& [bad, reason] : cases) {
        Installation install({bad, good}, kKeyLine);
        ASSERT_TRUE(GetFileList(install)) << reason;
        const auto lines = ErrorLines(install.Log());
        ASSERT_EQ(2u, lines.size()) << reason;
        EXPECT_EQ("Signed reply refused : GetAppChecksum from " + Narrow(bad) + " : " + reason,
                  lines[0]);
        EXPECT_EQ("Query error : 0 for server " + Narrow(bad), lines[1]);
        EXPECT_EQ(good, install.CurrentServer());
        EXPECT_EQ(1u, install.Application().CountFilesToUpdate()) << reason;
    }

    // No server with a good signature: nothing is listed, and no body is left to read.
    Installation install({Replay(kSignedByB), Replay("")}, kKeyLine);
    EXPECT_FALSE(GetFileList(install));
    EXPECT_TRUE(install.Client().GetResponseBody().empty());
    EXPECT_EQ(0u, install.Application().CountFilesToUpdate());
}

TEST_F(SignedReplyTest, WithoutAKeyRepliesAreReadAsBeforeWithTheirExtraColumnIgnored) {
    std::string otherBody = kSignedBody;
    otherBody.replace(otherBody.find("\t3\t"), 3, "\t4\t");
    Installation install({Replay("", otherBody)});
    ASSERT_TRUE(GetFileList(install));
    EXPECT_TRUE(ErrorLines(install.Log()).empty());
    ASSERT_EQ(1u, install.Application().CountFilesToUpdate());
    EXPECT_EQ(4, install.Application().Files().UpdateList().front()->FileSize());
}

TEST_F(SignedReplyTest, SignedListWithARowLackingItsSha256IsRefusedWhole) {
    const std::string head = "COLONNES=FileName|S;FileSize|I;FileChecksum|I;FileMode|S;";
    const std::string rows = "TBLDATBEGIN_99\r\na.dll\t3\t1677554\tdelta";
    const std::string end = "\r\nTBLDATEND_99\r\n";
    const std::string withSha = head + "FileSha256|S;\r\n" + rows + "\t";
    const std::string good = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    const std::pair<std::string, std::string> bodies[] = {
        {head + "\r\n" + rows + end, "no column"},
        {withSha + end, "an empty value"},
        {withSha + good.substr(1) + end, "63 digits"},
        {withSha + good + "\r\nb.dll\t3\t1677554\tdelta\t" + std::string(63, 'a') + "g" + end,
         "a second row that is not hex"},
    };
    for (const auto& [body, what] : bodies) {
        Installation install({peers.peer}, kKeyLine);
        EXPECT_FALSE(install.Server().ReadFileList(std::wstring(body.begin(), body.end()))) << what;
        EXPECT_EQ(0u, install.Application().CountFilesToUpdate()) << what;
        EXPECT_TRUE(install.Log().Contains("File list refused : no valid FileSha256 for")) << what;
    }
    Installation install({peers.peer}, kKeyLine);
    EXPECT_TRUE(install.Server().ReadFileList(QXFromUtf8(withSha + good + end)));
    EXPECT_EQ(1u, install.Application().CountFilesToUpdate());
}

TEST_F(SignedReplyTest, RefusedRepliesStartThePrimaryApplicationOfTheLastVerifiedOne) {
    const auto askPrimary = [](Installation& install) {
        install.Client().SetSessionId(L"S1");
        install.Server().SetSessionUserName(L"ann");
        install.Client().SetApplicationName(L"Demo");
        install.Application().Info().Version = L"2.0";
        return install.Server().GetPrimaryApplication();
    };
    // A verified reply is kept, also one that names the default application.
    Installation verified({Replay(kSignedForPrimary)}, kKeyLine);
    ASSERT_TRUE(askPrimary(verified));
    const auto kept = CQXLLastPrimary(verified.Application().InstallationDirectory()).Recall();
    ASSERT_TRUE(kept.has_value());
    EXPECT_TRUE(kept->PrimaryName.empty());

    Installation refused({Replay("")}, kKeyLine);
    CQXLLastPrimary(refused.Application().InstallationDirectory())
        .Remember({L"acme-notes.exe", L"-x"});
    EXPECT_FALSE(askPrimary(refused));
    EXPECT_EQ(refused.Starter().StartPrimaryApplication(std::wstring()), 0); // not installed here
    EXPECT_TRUE(refused.Log().Contains("Unable to launch acme-notes.exe"));
}
