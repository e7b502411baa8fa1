#include "platform/Files.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

TEST(Files, OpenSharedFindsANameWrittenInAnotherCase) {
    TempDir dir;
    WriteBytes(dir.Path() / "qxurl.net", "[URL]\n");
    const qxplat::FilePtr file = qxplat::OpenShared(dir.File(L"QXUrl.net"), "rb");
    ASSERT_TRUE(file);
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, 6, file.get()), 6u);
    EXPECT_STREQ(text, "[URL]\n");
    EXPECT_FALSE(qxplat::OpenShared(dir.File(L"QXUrl.net2"), "rb"));
}

TEST(Files, OpenSharedLetsOthersReadAndWriteTheOpenFile) {
    TempDir dir;
    const qxplat::FilePtr writer = qxplat::OpenShared(dir.File(L"shared.log"), "ab");
    ASSERT_TRUE(writer);
    const qxplat::FilePtr second = qxplat::OpenShared(dir.File(L"shared.log"), "ab");
    ASSERT_TRUE(second);
    EXPECT_TRUE(qxplat::OpenShared(dir.File(L"shared.log"), "rb"));
}

TEST(Files, MakeDirectoryCreatesOneLevelOnly) {
    TempDir dir;
    EXPECT_TRUE(qxplat::MakeDirectory(dir.File(L"LOG")));
    EXPECT_FALSE(qxplat::MakeDirectory(dir.File(L"LOG")));
    EXPECT_FALSE(qxplat::MakeDirectory((dir.Path() / "a" / "b").wstring()));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "LOG"));
}
