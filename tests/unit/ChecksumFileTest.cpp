#include <gtest/gtest.h>
#include <random>

#include "platform/FileProbe.h"
#include "platform/Files.h"
#include "support/TempDir.h"
#include "update/QXChecksum.h"
#include "update/QXChecksumFile.h"

namespace {

std::string Bytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

} // namespace

// Read in one pass or in parts at once, block-sized or not, the value is that of one pass over the
// bytes.
TEST(ChecksumFileTest, GivesTheValueOfOnePassForEveryLength) {
    TempDir dir;
    constexpr std::size_t kKiB = 1024;
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{4095}, 256 * kKiB - 1, 256 * kKiB + 1,
          1024 * kKiB, 1024 * kKiB + 1, 5 * 256 * kKiB + 7, 8 * 1024 * kKiB - 3}) {
        SCOPED_TRACE(size);
        const std::string content = Bytes(size, static_cast<unsigned>(size));
        WriteBytes(dir.Path() / "f.bin", content);
        const qxplat::FilePtr file = qxplat::OpenShared(dir.File(L"f.bin"), "rb");
        ASSERT_TRUE(file);
        const SQXFileChecksum sum = QXChecksumFile(dir.File(L"f.bin"), file.get(), size);
        EXPECT_EQ(sum.status, QXChecksumRead::Whole);
        EXPECT_EQ(sum.bytesRead, size);
        EXPECT_EQ(sum.value, QXChecksumReference(0, content.data(), content.size()));
    }
}

// A file cut short or grown after its length was taken is reported as changed, never as whole.
TEST(ChecksumFileTest, AFileThatChangesWhileReadIsNotWhole) {
    TempDir dir;
    const std::string content = Bytes(3 * 1024 * 1024 + 5, 9);
    for (const std::size_t newSize : {std::size_t{0}, std::size_t{100000}, content.size() + 1}) {
        SCOPED_TRACE(newSize);
        WriteBytes(dir.Path() / "f.bin", content);
        const qxplat::FilePtr file = qxplat::OpenShared(dir.File(L"f.bin"), "rb");
        ASSERT_TRUE(file);
        std::filesystem::resize_file(dir.Path() / "f.bin", newSize);
        const SQXFileChecksum sum = QXChecksumFile(dir.File(L"f.bin"), file.get(), content.size());
        EXPECT_EQ(sum.status, QXChecksumRead::Changed);
        EXPECT_LE(sum.bytesRead, newSize);
    }
}

// A file removed from its folder while open is read through the open handle in one pass, where
// the system lets it be removed at all: the bytes checked are the ones that were there.
TEST(ChecksumFileTest, AFileRemovedAfterOpeningIsReadThroughItsHandle) {
    TempDir dir;
    const std::string content = Bytes(3 * 1024 * 1024 + 5, 4);
    WriteBytes(dir.Path() / "f.bin", content);
    const qxplat::FilePtr file = qxplat::OpenShared(dir.File(L"f.bin"), "rb");
    ASSERT_TRUE(file);
    std::error_code error;
    if (!std::filesystem::remove(dir.Path() / "f.bin", error))
        GTEST_SKIP() << "an open file cannot be removed here";
    const SQXFileChecksum sum = QXChecksumFile(dir.File(L"f.bin"), file.get(), content.size());
    EXPECT_EQ(sum.status, QXChecksumRead::Whole);
    EXPECT_EQ(sum.value, QXChecksumReference(0, content.data(), content.size()));
}
