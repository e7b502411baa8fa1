#include <gtest/gtest.h>
#include <windows.h>

#include "support/TestLog.h"
#include "update/QXLBatchGenerator.h"

namespace {

constexpr wchar_t kRunOnceKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Runonce";

std::wstring ReadRunOnceValue() {
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, kRunOnceKey, L"QXLauncher", RRF_RT_REG_SZ, nullptr, data,
                     &size) != ERROR_SUCCESS)
        return L"(absent)";
    return data;
}

// The value lives in the test prefix's registry; it goes again after each test.
class RunOnceTest : public ::testing::Test {
protected:
    ~RunOnceTest() override { RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunOnceKey, L"QXLauncher"); }

    TestLog m_log;
};

} // namespace

TEST_F(RunOnceTest, ValueNamesTheInstallerInTheInstallationDirectory) {
    CQXLBatchGenerator batch(m_log.Log());
    batch.AddDst(L"C:\\Apps\\Front");
    ASSERT_EQ(batch.RegisterRunOnce(), 1);
    EXPECT_EQ(ReadRunOnceValue(), L"C:\\Apps\\Front\\QXInstaller.exe");

    CQXLBatchGenerator again(m_log.Log());
    again.AddDst(L"D:\\Other\\");
    ASSERT_EQ(again.RegisterRunOnce(), 1);
    EXPECT_EQ(ReadRunOnceValue(), L"D:\\Other\\QXInstaller.exe");
}
