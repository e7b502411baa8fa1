#include <gtest/gtest.h>

#include "base/QXFormat.h"

TEST(QXFormat, FormatsEachConversionOfTheMessageTexts) {
    EXPECT_EQ(QXFormat(L"%s=%d/%i/%u", L"key", -12, 34, 4000000000u), L"key=-12/34/4000000000");
    EXPECT_EQ(QXFormat(L"%Id file(s)", static_cast<long long>(1) << 40), L"1099511627776 file(s)");
    EXPECT_EQ(QXFormat(L"100%% done"), L"100% done");
    EXPECT_EQ(QXFormat(L"%d", -2147483647 - 1), L"-2147483648");
    EXPECT_EQ(QXFormat(L"%u", 0u), L"0");
    EXPECT_EQ(QXFormat(L"%s", std::wstring(L"wide")), L"wide");
    EXPECT_EQ(QXFormat(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)");
}

TEST(QXFormat, NeverInterpretsArgumentTextAgain) {
    EXPECT_EQ(QXFormat(L"[%s] %d", L"50%20off %s %d", 7), L"[50%20off %s %d] 7");
}

TEST(QXFormat, IntegerConversionsTruncateLikePrintf) {
    // %d and %u read a 32-bit int, as the C formatter does with a DWORD or an int argument.
    EXPECT_EQ(QXFormat(L"%d", 4294967295u), L"-1");
    EXPECT_EQ(QXFormat(L"%u", -1), L"4294967295");
}

TEST(QXFormat, MarksMissingAndMismatchedArgumentsInsteadOfReadingGarbage) {
    EXPECT_EQ(QXFormat(L"a%sb%dc"), L"a%!sb%!dc");
    EXPECT_EQ(QXFormat(L"%d", L"text"), L"%!d");
    EXPECT_EQ(QXFormat(L"%s", 5), L"%!s");
    EXPECT_EQ(QXFormat(L"%d %d", 1), L"1 %!d");
}

TEST(QXFormat, KeepsWhatIsNotAConversion) {
    EXPECT_EQ(QXFormat(L"50% off"), L"50% off");
    EXPECT_EQ(QXFormat(L"end %"), L"end %");
    EXPECT_EQ(QXFormat(L"%x %5d %I", 1), L"%x %5d %I");
    EXPECT_EQ(QXFormat(L"\u00e9\u3092 %s", L"\uff97"), L"\u00e9\u3092 \uff97");
}
