#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/Crypto.h"
#include "protocol/QXLReplySignature.h"
#include "unit/SignedReplyVectors.h"

using namespace signedvectors;

namespace {

constexpr long long kNow = 1800000000; // 2027

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

const std::vector<std::wstring> kKeys{Wide(kKeyA)};

QXLSignatureVerdict Check(const std::string& header, const std::string& service = "GetAppChecksum",
                          const std::string& version = "2.0", const std::string& body = kSignedBody,
                          const std::vector<std::wstring>& keys = kKeys, long long now = kNow,
                          const std::string& user = "ann") {
    return QXLCheckReplySignature(keys, &header, {service, "Demo", version, user}, body, now);
}

// header with its signature's DER bytes changed by edit.
template <typename Edit>
std::string WithSignature(const std::string& header, Edit edit) {
    const std::size_t at = header.rfind(' ') + 1;
    std::vector<unsigned char> der = *QXLDecodeBase64(header.substr(at));
    edit(der);
    return header.substr(0, at) + QXLEncodeBase64(der);
}

std::string Hex(const qxplat::Sha256Digest& digest) {
    return QXLToHex(digest.data(), digest.size());
}

} // namespace

TEST(ReplySignatureTest, FixedRepliesVerifyAndAnyChangeOrOtherRequestIsRefused) {
    EXPECT_EQ(QXLSignatureVerdict::Valid, Check(kSignedByA));
    EXPECT_EQ(QXLSignatureVerdict::Valid, Check(kSignedShortR));
    // During a key rotation the launcher holds both keys; either signature counts.
    const std::vector<std::wstring> both{Wide(kKeyB), Wide(kKeyA)};
    EXPECT_EQ(QXLSignatureVerdict::Valid,
              Check(kSignedByB, "GetAppChecksum", "2.0", kSignedBody, both));

    std::string body = kSignedBody;
    body[body.find("delta")] = 'D';
    const std::string laterExpiry = std::string(kSignedByA).replace(2, 10, "4102444801");
    const std::pair<const char*, QXLSignatureVerdict> refused[] = {
        {"another key", Check(kSignedByB)},
        {"a changed body", Check(kSignedByA, "GetAppChecksum", "2.0", body)},
        {"a body cut short",
         Check(kSignedByA, "GetAppChecksum", "2.0", std::string(kSignedBody).substr(0, 40))},
        {"a later expiry", Check(laterExpiry)},
        {"another service", Check(kSignedByA, "GetAppPrimary")},
        {"another version", Check(kSignedByA, "GetAppChecksum", "1.0")},
        {"a reply for version 1.0 replayed for 2.0", Check(kSignedForVersion1)},
        {"a reply of GetAppPrimary replayed for GetAppChecksum", Check(kSignedForPrimary)},
        {"a reply of user bob replayed to ann", Check(kSignedForBob)},
        {"a reply of user ann replayed to bob",
         Check(kSignedByA, "GetAppChecksum", "2.0", kSignedBody, kKeys, kNow, "bob")},
        {"a flipped signature byte",
         Check(WithSignature(kSignedByA, [](auto& der) { der[10] ^= 1; }))},
        {"no configured key that decodes",
         Check(kSignedByA, "GetAppChecksum", "2.0", kSignedBody, {L"not base64!"})},
    };
    for (const auto& [what, verdict] : refused)
        EXPECT_EQ(QXLSignatureVerdict::Mismatch, verdict) << what;

    EXPECT_EQ(QXLSignatureVerdict::Expired, Check(kSignedExpired));
    EXPECT_EQ(QXLSignatureVerdict::Valid,
              Check(kSignedExpired, "GetAppChecksum", "2.0", kSignedBody, kKeys, 1000000000));
    EXPECT_EQ(QXLSignatureVerdict::Missing,
              QXLCheckReplySignature(kKeys, nullptr, {"GetAppChecksum", "Demo", "2.0", "ann"},
                                     kSignedBody, kNow));
}

TEST(ReplySignatureTest, MalformedHeadersAndLooseSignatureEncodingsAreRefused) {
    const std::string good = kSignedByA;
    const std::string signature = good.substr(good.rfind(' ') + 1);
    for (const std::string& header :
         {std::string(), std::string("2"), "1 4102444800 " + signature,
          "2  4102444800 " + signature, "2 4102444800" + signature, "2 -5 " + signature,
          "2 4102444800 " + signature + " x", "2 4102444800 " + signature.substr(1),
          "2 1234567890123456 " + signature}) {
        EXPECT_EQ(QXLSignatureVerdict::Malformed, Check(header)) << header;
    }
    // The same numbers in looser encodings than DER: a long-form length, a needless leading
    // zero on s. Both targets refuse them alike.
    const std::string longForm = WithSignature(
        good, [](std::vector<unsigned char>& der) { der.insert(der.begin() + 1, 0x81); });
    const std::string paddedS = WithSignature(good, [](std::vector<unsigned char>& der) {
        const std::size_t s = 4 + der[3];
        der.insert(der.begin() + s + 2, 0x00);
        ++der[s + 1];
        ++der[1];
    });
    EXPECT_EQ(QXLSignatureVerdict::Mismatch, Check(longForm));
    EXPECT_EQ(QXLSignatureVerdict::Mismatch, Check(paddedS));
}

TEST(ReplySignatureTest, SignedTextIsLengthPrefixedFields) {
    EXPECT_EQ("QXLauncher signed reply 2\n14:GetAppChecksum\n4:Demo\n0:\n3:ann\n2:17\n3:a\nb\n",
              QXLSignedReplyText("GetAppChecksum", "Demo", "", "ann", 17, "a\nb"));
    // A field cannot pass for its neighbours: the counts tell where each one ends.
    EXPECT_NE(QXLSignedReplyText("S", "a", "b", "cd", 1, ""),
              QXLSignedReplyText("S", "a", "bc", "d", 1, ""));
}

TEST(ReplySignatureTest, Base64AndHexAcceptOnlyTheirCanonicalForms) {
    const std::vector<unsigned char> bytes{0x00, 0xFB, 0xFF, 0x10};
    EXPECT_EQ("APv/EA==", QXLEncodeBase64(bytes));
    EXPECT_EQ(bytes, *QXLDecodeBase64("APv/EA=="));
    for (const char* bad : {"APv/EA=", "APv/EB==", "AP v/EA=", "A=v/EA==", "APv/E===", "APv-EA=="})
        EXPECT_FALSE(QXLDecodeBase64(bad)) << bad;
    EXPECT_EQ("00fbff10", QXLToHex(bytes.data(), bytes.size()));
    EXPECT_EQ(bytes, *QXLFromHex("00FBff10"));
    EXPECT_FALSE(QXLFromHex("00fbff1"));
    EXPECT_FALSE(QXLFromHex("00fbff1g"));
}

TEST(ReplySignatureTest, Sha256OfPiecesEqualsTheDigestOfTheWhole) {
    qxplat::Sha256Digest digest{};
    qxplat::Sha256 empty;
    ASSERT_TRUE(empty.Finish(digest));
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", Hex(digest));
    EXPECT_FALSE(empty.Update("x", 1)); // used up

    std::string data(1 << 20, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 31 + (i >> 9));
    qxplat::Sha256 whole;
    ASSERT_TRUE(whole.Update(data.data(), data.size()));
    ASSERT_TRUE(whole.Finish(digest));
    const std::string expected = Hex(digest);
    qxplat::Sha256 pieces;
    for (std::size_t at = 0, step = 1; at < data.size(); at += step, step = step * 3 % 70001 + 1)
        ASSERT_TRUE(pieces.Update(data.data() + at, std::min(step, data.size() - at)));
    ASSERT_TRUE(pieces.Finish(digest));
    EXPECT_EQ(expected, Hex(digest));

    qxplat::Sha256 abc;
    ASSERT_TRUE(abc.Update("abc", 3));
    ASSERT_TRUE(abc.Finish(digest));
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", Hex(digest));
}
