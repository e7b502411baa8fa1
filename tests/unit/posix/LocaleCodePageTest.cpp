#include "platform/posix/LocaleCodePage.h"

#include <gtest/gtest.h>

// A Linux launcher sends in the code page a Windows one of the same locale would use.
TEST(LocaleCodePageTest, EachLocaleGetsTheCodePageWindowsGivesItsLanguage) {
    const std::pair<const char*, unsigned> cases[] = {
        {"pl_PL.UTF-8", 1250},
        {"ru_RU", 1251},
        {"sr_RS", 1251},
        {"sr_RS@latin", 1250},
        {"fr_FR", 1252},
        {"el_GR", 1253},
        {"th_TH", 874},
        {"ja_JP.UTF-8", 932},
        {"zh_CN.GBK", 936},
        {"zh_TW", 950},
        {"ko_KR.EUC-KR", 949},
        {"C.UTF-8", 1252},
        {"", 1252},
        {"xx_YY", 1252},
    };
    for (const auto& [locale, codePage] : cases)
        EXPECT_EQ(qxplat::CodePageOfLocale(locale), codePage) << locale;
}
