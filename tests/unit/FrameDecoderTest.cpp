#include <gtest/gtest.h>
#include <random>
#include <zstd.h>

#include "platform/Crypto.h"
#include "protocol/QXLFrameOffers.h"
#include "support/TempDir.h"
#include "update/QXChecksum.h"
#include "update/QXLFrameDecoder.h"
#include "update/QXLFrameStream.h"

namespace {

std::string Bytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// A frame as the server makes it: against base when it is not empty, with the checksum.
std::string Frame(const std::string& content, const std::string& base) {
    ZSTD_CCtx* c = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1);
    ZSTD_CCtx_setParameter(c, ZSTD_c_enableLongDistanceMatching, 1);
    if (!base.empty())
        ZSTD_CCtx_refPrefix(c, base.data(), base.size());
    std::string frame(ZSTD_compressBound(content.size()), '\0');
    frame.resize(ZSTD_compress2(c, frame.data(), frame.size(), content.data(), content.size()));
    ZSTD_freeCCtx(c);
    return frame;
}

qxplat::Sha256Digest Sha(const std::string& bytes) {
    qxplat::Sha256 sha;
    sha.Update(bytes.data(), bytes.size());
    qxplat::Sha256Digest digest{};
    sha.Finish(digest);
    return digest;
}

} // namespace

// Every frame that is not exactly the listed file's ends in a reason and no file; the SHA-256
// of the frame is checked before anything is decoded.
TEST(FrameDecoderTest, GivesTheListedFileOrAReasonAndNothing) {
    TempDir dir;
    const std::string base = Bytes(300000, 1);
    std::string file = base;
    file.insert(1000, Bytes(700, 2));
    const std::string patch = Frame(file, base);
    CQXChecksum checksum;
    checksum.Update(file.data(), file.size());
    struct Case {
        const char* name;
        std::string frame;
        std::string base;
        std::int64_t size;
        std::uint32_t checksum;
        std::optional<qxplat::Sha256Digest> sha256;
        std::wstring reason;
        bool shaOfFrame = true; // the digest handed over is the frame's own
    } cases[] = {
        {"patch", patch, base, 300700, checksum.Value(), Sha(file), L""},
        {"packed", Frame(file, ""), "", 300700, checksum.Value(), std::nullopt, L""},
        {"other frame digest", patch, base, 300700, checksum.Value(), std::nullopt,
         L"the frame's SHA-256 differs from the list", false},
        {"other base", patch, Bytes(300000, 3), 300700, checksum.Value(), std::nullopt, L"zstd: "},
        {"cut short", patch.substr(0, patch.size() - 9), base, 300700, checksum.Value(),
         std::nullopt, L"the frame ends early"},
        {"bytes after it", patch + "x", base, 300700, checksum.Value(), std::nullopt,
         L"bytes follow the frame"},
        {"longer than listed", patch, base, 300699, checksum.Value(), std::nullopt,
         L"the result is longer than the list says"},
        {"other checksum", patch, base, 300700, checksum.Value() + 1, std::nullopt,
         L"the result differs from the list"},
        {"other signed digest", patch, base, 300700, checksum.Value(), Sha(base),
         L"the result differs from the signed list"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring framePath = dir.File(L"frame"), target = dir.File(L"out");
        WriteBytes(framePath, c.frame);
        std::filesystem::remove(target);
        std::string head;
        const std::wstring reason =
            CQXLFrameDecoder::Decode(framePath, c.shaOfFrame ? Sha(c.frame) : Sha(c.base), c.base,
                                     {target, c.size, c.checksum, c.sha256}, head);
        EXPECT_EQ(reason.substr(0, c.reason.empty() ? std::wstring::npos : c.reason.size()),
                  c.reason);
        if (c.reason.empty()) {
            EXPECT_EQ(ReadBytes(target), file);
            EXPECT_EQ(head, file.substr(0, 4));
        } else {
            EXPECT_FALSE(std::filesystem::exists(target));
        }
    }
}

// A frame decoded as it arrives: each attempt starts anew, bytes come in any pieces, and an
// attempt that never ends leaves no file.
TEST(FrameDecoderTest, StreamStartsAnewOnEachAttemptAndLeavesNothingUnended) {
    TempDir dir;
    const std::string base = Bytes(200000, 4);
    std::string file = base;
    file.replace(5000, 3000, Bytes(3000, 5));
    const std::string patch = Frame(file, base);
    CQXChecksum checksum;
    checksum.Update(file.data(), file.size());
    const SQXLFrameTarget target{dir.File(L"out"), 200000, checksum.Value(), Sha(file)};
    {
        CQXLFrameStream stream(base, target);
        ASSERT_EQ(stream.Begin(), L"");
        ASSERT_EQ(stream.Write(patch.data(), patch.size() / 2), L""); // a broken transfer
        ASSERT_EQ(stream.Begin(), L"");
        for (std::size_t at = 0; at < patch.size(); at += 7)
            ASSERT_EQ(stream.Write(patch.data() + at, std::min<std::size_t>(7, patch.size() - at)),
                      L"");
        ASSERT_EQ(stream.End(), L"");
    }
    EXPECT_EQ(ReadBytes(target.path), file);
    {
        CQXLFrameStream stream(base, target);
        ASSERT_EQ(stream.Begin(), L"");
        ASSERT_EQ(stream.Write(patch.data(), patch.size() - 1), L"");
    }
    EXPECT_FALSE(std::filesystem::exists(target.path));
}

// Offers are read by column name in any case and order; rows without one, or cut short, are not.
TEST(FrameDecoderTest, OffersComeFromTheExtraColumnsOfWholeRows) {
    const auto offers = QXLReadFrameOffers(
        L"COLONNES=deltasize|I;FileName|S;FilePath|S;DeltaBaseSize|I;DeltaBaseChecksum|I;"
        L"DeltaChecksum|I;DeltaSha256|S;PackedSize|I;Other|S;\r\nTBLDATBEGIN_99\r\n"
        L"30\ta.dat\tbin\\sub\t100\t7\t8\tab\t0\tx\r\n"
        L"0\tb.dat\t--\t0\t0\t0\t\t40\tx\r\n"
        L"0\tc.dat\t--\t0\t0\t0\t\t0\tx\r\n"
        L"30\td.dat\t--\t100\r\n"
        L"TBLDATEND_99\r\n");
    ASSERT_EQ(offers.size(), 2u);
    const SQXLFrameOffer& a = offers.at(L"bin/sub/a.dat");
    EXPECT_EQ(a.baseSize, 100);
    EXPECT_EQ(a.baseChecksum, 7u);
    EXPECT_EQ(a.patch.size, 30);
    EXPECT_EQ(a.patch.checksum, 8u);
    EXPECT_EQ(a.patch.sha256, L"ab");
    EXPECT_EQ(offers.at(L"b.dat").packed.size, 40);
}
