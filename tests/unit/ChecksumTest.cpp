#include <gtest/gtest.h>
#include <string>

#include "update/QXChecksum.h"

namespace {
std::uint32_t Of(const std::string& bytes) {
    CQXChecksum sum;
    sum.Update(bytes.data(), bytes.size());
    return sum.Value();
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
}
