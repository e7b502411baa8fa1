#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "update/QXChecksum.h"
#include "update/QXChecksumLanes.h"

namespace {
std::uint32_t Of(const std::string& bytes) {
    CQXChecksum sum;
    sum.Update(bytes.data(), bytes.size());
    return sum.Value();
}

std::vector<unsigned char> RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<unsigned char> bytes(size);
    for (auto& b : bytes)
        b = static_cast<unsigned char>(random());
    return bytes;
}

// Every form, from an odd start value, against the byte-at-a-time definition.
void ExpectAllFormsAgree(const unsigned char* data, std::size_t size) {
    const std::uint32_t start = 0x9E3779B9u;
    const std::uint32_t expected = QXChecksumReference(start, data, size);
    ASSERT_EQ(QXChecksumFast(start, data, size), expected) << "size " << size;
    static const std::vector<QXChecksumForm> forms = QXChecksumAvailableForms();
    for (std::size_t i = 0; i < forms.size(); ++i)
        ASSERT_EQ(forms[i](start, data, size), expected) << "form " << i << ", size " << size;
}
} // namespace

TEST(Checksum, GivesTheListedValuesForSignedBytes) {
    EXPECT_EQ(Of(""), 0u);
    EXPECT_EQ(Of("abc"), 1677554u);
    EXPECT_EQ(Of("\xFF"), 4294967295u);
    EXPECT_EQ(Of(std::string("\x80\x01", 2)), 4294950529u);
    // A first byte of 0xFF counts as -1, not 255: (2^32 - 1) * 131^(n-1).
    std::uint32_t expected = 4294967295u;
    for (int i = 1; i < 5; ++i)
        expected *= 131u;
    EXPECT_EQ(Of(std::string("\xFF\0\0\0\0", 5)), expected);
    // The same value when the leading byte starts a long input that the fast form takes.
    std::string longer(4096, '\0');
    longer[0] = '\xFF';
    for (int i = 5; i < 4096; ++i)
        expected *= 131u;
    EXPECT_EQ(Of(longer), expected);
}

TEST(Checksum, FastFormsMatchTheReferenceForEveryLengthAndAlignment) {
    const std::vector<unsigned char> bytes = RandomBytes(3200, 7);
    for (std::size_t offset : {0u, 1u, 3u, 7u, 31u})
        for (std::size_t size = 0; size + offset <= 3100; ++size)
            ExpectAllFormsAgree(bytes.data() + offset, size);
}

TEST(Checksum, FastFormsMatchTheReferenceOnExtremeBytes) {
    // 0x80 and 0xFF are the largest negative and the smallest negative byte: they push the
    // pairwise sums to their limits.
    for (unsigned char fill : {0x80, 0xFF, 0x7F, 0x00}) {
        const std::vector<unsigned char> bytes(70000, fill);
        for (std::size_t size : {511u, 512u, 1000u, 4096u, 65537u, 70000u})
            ExpectAllFormsAgree(bytes.data(), size);
        ExpectAllFormsAgree(bytes.data() + 1, bytes.size() - 1);
    }
    std::vector<unsigned char> alternating(8193);
    for (std::size_t i = 0; i < alternating.size(); ++i)
        alternating[i] = i % 2 == 0 ? 0x80 : 0x7F;
    ExpectAllFormsAgree(alternating.data(), alternating.size());
}

TEST(Checksum, PiecesOfRandomSizesGiveTheWholeValue) {
    const std::vector<unsigned char> bytes = RandomBytes(1 << 20, 11);
    const std::uint32_t whole = QXChecksumReference(0, bytes.data(), bytes.size());
    std::mt19937 random(5);
    for (int round = 0; round < 4; ++round) {
        CQXChecksum sum;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const std::size_t piece =
                std::min<std::size_t>(random() % (round == 0 ? 97 : 70000), bytes.size() - done);
            sum.Update(bytes.data() + done, piece);
            done += piece;
        }
        EXPECT_EQ(sum.Value(), whole) << "round " << round;
    }
    EXPECT_EQ(QXChecksumFast(0, bytes.data(), bytes.size()), whole);
}
