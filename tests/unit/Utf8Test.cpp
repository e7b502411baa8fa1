#include <gtest/gtest.h>

#include "base/QXText.h"

// The installation journal keeps names as UTF-8 on every platform, whatever the code page.
TEST(Utf8Test, NamesComeBackExactlyAndBadBytesBecomeReplacements) {
    const std::wstring names[] = {L"app.exe", L"donn\u00e9es\\\u00e9t\u00e9.txt",
                                  L"\u30c7\u30fc\u30bf.dll", L"\U0001F4C4 notes.txt", L""};
    for (const std::wstring& name : names)
        EXPECT_EQ(QXFromUtf8(QXToUtf8(name)), name);
    EXPECT_EQ(QXToUtf8(L"\u00e9\u30c7\U0001F4C4"), "\xC3\xA9\xE3\x83\x87\xF0\x9F\x93\x84");

    // Cut sequences, overlong forms, encoded surrogates and stray continuation bytes.
    EXPECT_EQ(QXFromUtf8("a\xC3"), L"a\uFFFD");
    EXPECT_EQ(QXFromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");
    EXPECT_EQ(QXFromUtf8("\xED\xA0\x80x"), L"\uFFFD\uFFFD\uFFFDx");
    EXPECT_EQ(QXFromUtf8("\x80z"), L"\uFFFDz");
    EXPECT_EQ(QXFromUtf8("\xF4\x90\x80\x80"), L"\uFFFD\uFFFD\uFFFD\uFFFD");
}

// The standard library alone turns a Linux path into wide text only for ASCII names.
TEST(Utf8Test, FileSystemPathsKeepEveryName) {
    for (const std::wstring name : {L"docs/caf\u00e9.txt", L"\u30c7\u30fc\u30bf.dll", L"a.exe"})
        EXPECT_EQ(QXFsName(QXFsPath(name)), name);
    EXPECT_EQ(QXFsPath(L"caf\u00e9").u8string(), "caf\xc3\xa9");
    EXPECT_EQ(QXFsName(QXFsPath(L"bin/x.tar.gz").extension()), L".gz");
}
