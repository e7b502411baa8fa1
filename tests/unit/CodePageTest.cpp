#include <gtest/gtest.h>

#include "platform/Text.h"
#include "ui/QXLanguage.h"

// The wire's code pages give the same bytes and the same text on every platform.
TEST(CodePageTest, BothPagesConvertAlikeAndMarkWhatTheyCannotHold) {
    EXPECT_EQ(QXWireCodePage(kQXEnglishBase), 1252u);
    EXPECT_EQ(QXWireCodePage(kQXFrenchBase), 1252u);
    EXPECT_EQ(QXWireCodePage(kQXJapaneseBase), 932u);

    struct Case {
        std::wstring text;
        unsigned codePage;
        std::string bytes;
    };
    const Case fitting[] = {
        {L"jos\u00e9 \u20ac\u0081", 1252, "jos\xe9 \x80\x81"},
        {L"\u30e6\u30fc\u30b6\u30fc\uff71a", 932,
         "\x83\x86\x81\x5b\x83\x55\x81\x5b\xb1"
         "a"},
    };
    for (const Case& c : fitting) {
        EXPECT_TRUE(qxplat::FitsCodePage(c.text, c.codePage));
        EXPECT_EQ(qxplat::ToCodePage(c.text, c.codePage), c.bytes);
        EXPECT_EQ(qxplat::FromCodePage(c.bytes, c.codePage), c.text);
    }
    // No best-fit look-alike: 'l' for the Polish letter would send another password.
    const Case lacking[] = {
        {L"a\u0142b", 1252, "a?b"},
        {L"\u30e6x", 1252, "?x"},
        {L"caf\u00e9", 932, "caf?"},
    };
    for (const Case& c : lacking) {
        EXPECT_FALSE(qxplat::FitsCodePage(c.text, c.codePage)) << c.bytes;
        EXPECT_EQ(qxplat::ToCodePage(c.text, c.codePage), c.bytes);
    }
    EXPECT_TRUE(qxplat::FitsCodePage(L"", 932));
    EXPECT_EQ(qxplat::FromCodePage("x\x83", 932), L"x\u30fb");
}
