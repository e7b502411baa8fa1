#include <fstream>
#include <openssl/sha.h>
#include <random>
#include <zstd.h>

#include "platform/Text.h"
#include "protocol/QXLFrameOffers.h"
#include "protocol/QXLReplySignature.h"
#include "server/ServerFixture.h"

namespace fs = std::filesystem;

namespace {

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

std::wstring Sha256Hex(const std::string& bytes) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    return qxplat::FromNarrow(QXLToHex(digest, sizeof digest));
}

// The frame decoded, against base when it is not empty; empty when it does not decode.
std::string Decode(const std::string& frame, const std::string& base) {
    ZSTD_DCtx* context = ZSTD_createDCtx();
    if (!base.empty())
        ZSTD_DCtx_refPrefix(context, base.data(), base.size());
    std::string out(1 << 20, '\0');
    const std::size_t size =
        ZSTD_decompressDCtx(context, out.data(), out.size(), frame.data(), frame.size());
    ZSTD_freeDCtx(context);
    return ZSTD_isError(size) ? std::string() : out.substr(0, size);
}

} // namespace

class DeltaTest : public ServerFixture {
protected:
    // The frames the 2.0 list offers, read as launchers read them.
    std::map<std::wstring, SQXLFrameOffer> Offers(const std::string& session) {
        return QXLReadFrameOffers(qxplat::FromNarrow(
            Post("GetAppChecksum", session + "&application=Demo&version=2.0")->body));
    }
};

TEST_F(DeltaTest, ListsPatchesFromTheEarlierFileAndPackedCopiesAndServesThem) {
    const std::string base = RandomBytes(300000, 1);
    std::string next = base;
    next.replace(1000, 2000, RandomBytes(2000, 2)); // a changed block
    next.insert(150000, RandomBytes(500, 3));       // and an insertion that shifts the rest
    const std::string text(40000, 'q');
    WriteBytes(Site() / "releases/Demo/1.0/bin/data.bin", base);
    WriteBytes(Site() / "releases/Demo/2.0/bin/data.bin", next);
    WriteBytes(Site() / "releases/Demo/2.0/docs/big.txt", text);
    std::ofstream(Site() / "site.ini", std::ios::app) << "\n[Updates]\nDeltas=yes\n";
    Start();
    const std::string session = "sessionid=" + Login("demo", "demo");
    const std::string file = session + "&application=Demo&version=2.0&filename=";

    auto offers = Offers(session);
    const SQXLFrameOffer data = offers[L"bin/data.bin"];
    EXPECT_EQ(data.baseSize, 300000);
    const std::string patch =
        Post("GetAppFileDelta", file + "bin/data.bin&basesize=300000&basechecksum=" +
                                    std::to_string(data.baseChecksum))
            ->body;
    EXPECT_LT(patch.size(), 4000u);
    EXPECT_EQ(data.patch.size, static_cast<std::int32_t>(patch.size()));
    EXPECT_EQ(data.patch.sha256, Sha256Hex(patch));
    EXPECT_EQ(Decode(patch, base), next);
    EXPECT_EQ(data.packed.size, 0) << "random bytes do not compress";
    // Kept beside the release.
    EXPECT_TRUE(fs::exists(Site() / "releases/Demo/.deltas/2.0/bin/data.bin.from-1.0.zst"));

    const SQXLFrameOffer big = offers[L"docs/big.txt"];
    EXPECT_EQ(big.patch.size, 0) << "no earlier release has the file";
    const std::string packed = Post("GetAppFileDelta", file + "docs/big.txt")->body;
    EXPECT_EQ(big.packed.sha256, Sha256Hex(packed));
    EXPECT_EQ(Decode(packed, ""), text);

    // Another base, an unknown file, or a server of a site without deltas: no frame.
    for (const std::string& asked :
         {file + "bin/data.bin&basesize=300000&basechecksum=1", file + "bin/nope&basesize=1"})
        EXPECT_EQ(Post("GetAppFileDelta", asked)->status, 404) << asked;
    // A frame that cannot be made (its folder is a file) is left out and named in the error log.
    fs::remove_all(Site() / "releases/Demo/.deltas");
    WriteBytes(Site() / "releases/Demo/.deltas", "");
    EXPECT_TRUE(Offers(session).empty());
    EXPECT_NE(ReadBytes(ErrorLog()).find("error: deltas: "), std::string::npos);

    fs::copy_file(QX_SITE_DIR "/site.ini", Site() / "site.ini",
                  fs::copy_options::overwrite_existing);
    Start();
    const std::string plain = "sessionid=" + Login("demo", "demo");
    EXPECT_TRUE(Offers(plain).empty());
    EXPECT_EQ(Post("GetAppFileDelta", plain + "&application=Demo&version=2.0&filename=docs/big.txt")
                  ->status,
              404);
}
