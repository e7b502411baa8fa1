#include <gtest/gtest.h>

#include "platform/Text.h"
#include "support/WireLocale.h"

// The wire's code pages give the same bytes and the same text on every platform.
TEST(CodePageTest, PagesConvertAlikeAndMarkWhatTheyCannotHoldExactly) {
    struct Case {
        std::wstring text;
        unsigned codePage;
        std::string bytes;
    };
    const Case fitting[] = {
        {L"jos\u00e9 \u20ac\u0081", 1252, "jos\xe9 \x80\x81"},
        {L"\u30e6\u30fc\u30b6\u30fc\uff71a\\~\uff5e\u2015", 932,
         "\x83\x86\x81\x5b\x83\x55\x81\x5b\xb1"
         "a\\~\x81\x60\x81\x5c"},
        {L"Zo\u0142\u0107 \u015bwi\u0144", 1250, "Zo\xb3\xe6 \x9cwi\xf1"},
        {L"\u041f\u0440\u0438", 1251, "\xcf\xf0\xe8"},
    };
    for (const Case& c : fitting) {
        EXPECT_TRUE(qxplat::FitsCodePage(c.text, c.codePage)) << c.bytes;
        EXPECT_EQ(qxplat::ToCodePage(c.text, c.codePage), c.bytes);
        EXPECT_EQ(qxplat::FromCodePage(c.bytes, c.codePage), c.text);
    }
    // No best-fit look-alike: 'l' for the Polish letter, '\' for the yen sign, the full-width
    // tilde for the wave dash would each send another password.
    const Case lacking[] = {
        {L"a\u0142b", 1252, "a?b"}, {L"\u30e6x", 1252, "?x"},      {L"caf\u00e9", 932, "caf?"},
        {L"\u00a5", 932, "?"},      {L"a\u301cb", 932, "a?b"},     {L"\u2014", 932, "?"},
        {L"\u203e", 932, "?"},      {L"\u00e9\u0142", 1251, "??"},
    };
    for (const Case& c : lacking) {
        EXPECT_FALSE(qxplat::FitsCodePage(c.text, c.codePage)) << c.bytes;
        EXPECT_EQ(qxplat::ToCodePage(c.text, c.codePage), c.bytes);
    }
    EXPECT_TRUE(qxplat::FitsCodePage(L"", 932));
    EXPECT_EQ(qxplat::FromCodePage("x\x83", 932), L"x\u30fb");
}

TEST(CodePageTest, WireSpeaksTheCodePageOfTheUsersLocale) {
    {
        ScopedWireLocale polish("pl_PL.UTF-8", 0x0415);
        EXPECT_EQ(qxplat::WireCodePage(), 1250u);
    }
    ScopedWireLocale japanese("ja_JP.UTF-8", 0x0411);
    EXPECT_EQ(qxplat::WireCodePage(), 932u);
}
