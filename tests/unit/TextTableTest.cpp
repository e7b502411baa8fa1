#include <gtest/gtest.h>

#include "platform/LanguageTexts.h"
#include "platform/Resources.h"
#include "texts/QXTextTable.h"

TEST(TextTable, ProgramTableMatchesTheCompiledTableForEveryId) {
    // On Windows this loads the STRINGTABLE resource, generated from the same source.
    std::size_t count = 0;
    for (const QXTextEntry* e = QXTextTableBegin(); e != QXTextTableEnd(); ++e, ++count) {
        const auto loaded = qxplat::LoadText(e->id);
        ASSERT_TRUE(loaded.has_value()) << e->id;
        EXPECT_EQ(*loaded, std::wstring(e->text)) << e->id;
    }
    EXPECT_EQ(count, 3u * 69u);
    EXPECT_FALSE(qxplat::LoadText(59).has_value());
    EXPECT_FALSE(qxplat::LoadText(10000).has_value());
}

TEST(TextTable, EveryIdExistsInAllThreeBlocksWithTheSamePlaceholders) {
    auto placeholders = [](std::wstring_view text) {
        std::wstring found;
        for (std::size_t i = 0; i + 1 < text.size(); ++i)
            if (text[i] == L'%')
                found.push_back(text[++i]);
        return found;
    };
    // The blocks: 1 to 57, 60 to 69 (the HTTP questions) and 147.
    for (unsigned n = 1; n <= 147; n = n == 57 ? 60 : n == 69 ? 147 : n + 1) {
        const auto english = QXFindCompiledText(n);
        const auto french = QXFindCompiledText(10000 + n);
        const auto japanese = QXFindCompiledText(20000 + n);
        ASSERT_TRUE(english && french && japanese) << n;
        EXPECT_EQ(placeholders(*french), placeholders(*english)) << n;
        EXPECT_EQ(placeholders(*japanese), placeholders(*english)) << n;
    }
}

TEST(TextTable, KeepsAccentsHalfWidthKatakanaAndLineBreaks) {
    EXPECT_EQ(QXLoadText(kQXFrenchBase, 40), L"Le pin doit faire 4 caract\u00e8res de long.");
    EXPECT_EQ(QXLoadText(kQXJapaneseBase, 1), L"\uff97\uff9d\uff81\uff6c\uff70");
    EXPECT_EQ(QXLoadText(kQXJapaneseBase, 20), L"\u53d6\u6d88");
    EXPECT_EQ(QXLoadText(kQXJapaneseBase, 30),
              L"%s \u3092\u958b\u59cb\u3057\u3066\u3044\u307e\u3059\uff61 "
              L"\u3057\u3070\u3089\u304f\u304a\u5f85\u3061\u304f\u3060\u3055\u3044...");
    EXPECT_EQ(
        QXLoadText(kQXEnglishBase, 7),
        L"QXFlux.exe is already started.\nPlease close it before restarting the application.");
    EXPECT_EQ(QXLoadText(kQXJapaneseBase, 32), L"New passcode :");
    EXPECT_EQ(QXLoadText(kQXEnglishBase, 147), L"Unable to login: environment variable not found.");
    EXPECT_EQ(QXLoadText(kQXEnglishBase, 59), L"");
}

TEST(Language, ChoosesTheBlockByPrimaryLanguageOnly) {
    EXPECT_EQ(QXLanguageBaseFor(0x040C), kQXFrenchBase); // France
    EXPECT_EQ(QXLanguageBaseFor(0x0C0C), kQXFrenchBase); // Canada
    EXPECT_EQ(QXLanguageBaseFor(0x100C), kQXFrenchBase); // Switzerland
    EXPECT_EQ(QXLanguageBaseFor(0x0411), kQXJapaneseBase);
    EXPECT_EQ(QXLanguageBaseFor(0x0409), kQXEnglishBase);
    EXPECT_EQ(QXLanguageBaseFor(0x0407), kQXEnglishBase); // German
    EXPECT_EQ(QXLanguageBaseFor(0x0C0A), kQXEnglishBase); // Spanish
    EXPECT_STREQ(QXLanguageCode(kQXFrenchBase), L"fr");
    EXPECT_STREQ(QXLanguageCode(kQXJapaneseBase), L"ja");
    EXPECT_STREQ(QXLanguageCode(kQXEnglishBase), L"en");
    EXPECT_STREQ(QXLanguageCode(12345), L"en");
}
