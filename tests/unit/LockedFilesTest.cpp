#include <gtest/gtest.h>

#include "platform/FileProbe.h"
#include "support/BusyFile.h"
#include "support/TestLog.h"
#include "update/QXLFileSet.h"

namespace {

// A file set whose installed copies all differ from the list, so that every row lands on the
// update list and the check sees them in reverse row order.
class LockedFilesTest : public ::testing::Test {
protected:
    LockedFilesTest() : m_set(m_log.Log()) {
        m_set.SetInstallationDirectory(m_dir.Path().wstring());
    }

    void List(const std::vector<std::pair<std::wstring, std::wstring>>& files) {
        std::vector<CQXLFileRow> rows;
        for (const auto& [name, path] : files) {
            CQXLFileRow row;
            row.FileName = name;
            row.FilePath = path;
            row.FileSize = 1;
            row.FileMode = ModeDelta;
            rows.push_back(row);
        }
        m_set.ReadFileList(rows, L"");
    }

    TempDir m_dir;
    TestLog m_log;
    CQXLFileSet m_set;
};

} // namespace

TEST(FileProbe, TellsWritableMissingAndBusyFilesApart) {
    TempDir dir;
    WriteBytes(dir.Path() / "plain.dll", "abc");
    EXPECT_EQ(qxplat::ProbeExclusiveWrite(dir.File(L"plain.dll")), qxplat::WriteProbe::Writable);
    EXPECT_EQ(ReadBytes(dir.Path() / "plain.dll"), "abc");
    EXPECT_EQ(qxplat::ProbeExclusiveWrite(dir.File(L"absent.dll")), qxplat::WriteProbe::Missing);
    EXPECT_EQ(qxplat::ProbeExclusiveWrite((dir.Path() / "no" / "where.dll").wstring()),
              qxplat::WriteProbe::Missing);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "absent.dll"));
    BusyFile busy(dir.Path() / "running.exe");
    ASSERT_TRUE(busy.Created());
    EXPECT_EQ(qxplat::ProbeExclusiveWrite(dir.File(L"running.exe")), qxplat::WriteProbe::Locked);
}

TEST_F(LockedFilesTest, EmptyUpdateListIsNotChecked) {
    EXPECT_EQ(m_set.CheckLockedFiles(), 0);
    EXPECT_TRUE(m_log.Contains("No file to check"));
    EXPECT_EQ(m_set.RebootNeeded(), 0);
}

TEST_F(LockedFilesTest, MissingFilesInMissingFoldersAreNotLocked) {
    WriteBytes(m_dir.Path() / "free.dll", "old");
    List({{L"absent.dll", L"missing/folder"}, {L"free.dll", L""}});
    EXPECT_EQ(m_set.CheckLockedFiles(), 1);
    EXPECT_EQ(m_set.RebootNeeded(), 0);
}

TEST_F(LockedFilesTest, RunningProgramNeedsARebootAndStopsTheCheck) {
    BusyFile running(m_dir.Path() / "qxflux.exe");
    ASSERT_TRUE(running.Created());
    BusyFile later(m_dir.Path() / "later.exe");
    ASSERT_TRUE(later.Created());
    // Listed in reverse: qxflux.exe comes first on the update list.
    List({{L"later.exe", L""}, {L"qxflux.exe", L""}});
    EXPECT_EQ(m_set.CheckLockedFiles(), 1);
    EXPECT_EQ(m_set.RebootNeeded(), 1);
    EXPECT_TRUE(m_log.Contains("File qxflux.exe is locked, reboot is needed to complete update"));
    EXPECT_FALSE(m_log.Contains("File later.exe is locked"));
}

TEST_F(LockedFilesTest, TheLauncherItselfIsNeverReportedLocked) {
    BusyFile launcher(m_dir.Path() / "QXLauncher.exe");
    ASSERT_TRUE(launcher.Created());
    List({{L"QXLauncher.exe", L""}});
    EXPECT_EQ(m_set.CheckLockedFiles(), 1);
    EXPECT_EQ(m_set.RebootNeeded(), 0);
}

TEST_F(LockedFilesTest, ReadOnlyFileIsLocked) {
    WriteBytes(m_dir.Path() / "readonly.dll", "old");
    ReadOnlyFile readOnly(m_dir.Path() / "readonly.dll");
    if (!readOnly.Why().empty())
        GTEST_SKIP() << readOnly.Why();
    List({{L"readonly.dll", L""}});
    m_set.CheckLockedFiles();
    EXPECT_EQ(m_set.RebootNeeded(), 1);
}
