#include <gtest/gtest.h>

#include "platform/System.h"
#include "support/TestLog.h"
#include "update/QXLBatchGenerator.h"

namespace {

const std::wstring kSep(1, qxplat::kPathSeparator);

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A generator whose installation directory is a temp dir, with the temp folder below it.
class BatchGeneratorTest : public ::testing::Test {
protected:
    BatchGeneratorTest() : m_batch(m_log.Log()) {
        m_dst = m_dir.Path().wstring() + kSep;
        m_src = m_dst + L"_QXLTmp" + kSep;
        std::filesystem::create_directory(m_dir.Path() / "_QXLTmp");
    }

    std::string Written() const { return ReadBytes(m_dir.Path() / "_QXLTmp" / "qxinstaller.txt"); }

    TempDir m_dir;
    TestLog m_log;
    CQXLBatchGenerator m_batch;
    std::wstring m_dst;
    std::wstring m_src;
};

} // namespace

TEST_F(BatchGeneratorTest, WritesTheSectionsInInstallerOrder) {
    m_batch.AddApplicationLabel(L"Front Office");
    m_batch.AddDst(m_dst);
    m_batch.AddSrc(m_src);
    // What the download of app.exe, bin/control.ocx (ActiveX), tools/setup.exe (update mode
    // with parameters), old.dll (delete mode) and runtime.msi (install mode) records.
    m_batch.AddMove(L"app.exe");
    m_batch.AddMove(L"bin" + kSep + L"control.ocx");
    m_batch.AddRegister(L"bin" + kSep + L"control.ocx");
    m_batch.AddMove(L"tools" + kSep + L"setup.exe");
    m_batch.AddUpdate(L"tools" + kSep + L"setup.exe", L"-v 2.1");
    m_batch.AddDelete(L"old.dll");
    m_batch.AddMove(L"runtime.msi");
    m_batch.AddInstall(L"runtime.msi");
    ASSERT_EQ(m_batch.WriteBatchFile(), 1);

    const std::string sep = Narrow(kSep);
    const std::string expected = "[Config]\r\n"
                                 "ApplicationLabel = Front Office\r\n"
                                 "Dst = " +
                                 Narrow(m_dst) +
                                 "\r\n"
                                 "Src = " +
                                 Narrow(m_src) +
                                 "\r\n"
                                 "NbFile = 8\r\n"
                                 "[Register]\r\n"
                                 "File1 = bin" +
                                 sep +
                                 "control.ocx\r\n"
                                 "[Move]\r\n"
                                 "File1 = app.exe\r\n"
                                 "File2 = bin" +
                                 sep +
                                 "control.ocx\r\n"
                                 "File3 = tools" +
                                 sep +
                                 "setup.exe\r\n"
                                 "File4 = runtime.msi\r\n"
                                 "[Delete]\r\n"
                                 "File1 = old.dll\r\n"
                                 "[Update]\r\n"
                                 "File1 = tools" +
                                 sep +
                                 "setup.exe\r\n"
                                 "Param1 = -v 2.1\r\n"
                                 "[Install]\r\n"
                                 "File1 = runtime.msi\r\n"
                                 "[Extract]\r\n";
    EXPECT_EQ(Written(), expected);
}

TEST_F(BatchGeneratorTest, EmptyUpdateStillNamesItsDirectoriesAndCount) {
    m_batch.AddDst(m_dir.Path().wstring()); // the separator is added
    m_batch.AddSrc(m_src);
    ASSERT_EQ(m_batch.WriteBatchFile(), 1);
    const std::string text = Written();
    EXPECT_EQ(text.rfind("[Config]\r\nDst = " + Narrow(m_dst) + "\r\nSrc = " + Narrow(m_src) +
                             "\r\nNbFile = 0\r\n",
                         0),
              0u)
        << text;
    EXPECT_EQ(m_batch.DestinationDirectory(), m_dst);
}

TEST_F(BatchGeneratorTest, NumbersParamsWithTheirFileAndLeavesExtractUncounted) {
    m_batch.AddSrc(m_src);
    m_batch.AddApplicationLabel(L"a=b");
    m_batch.AddUpdate(L"first.exe", L"");
    m_batch.AddUpdate(L"second.exe", L"-x $VERSION$");
    m_batch.AddExtract(L"AllFiles.zip");
    m_batch.AddExtract(L"More.zip");
    ASSERT_EQ(m_batch.WriteBatchFile(), 1);
    const std::string text = Written();
    EXPECT_NE(text.find("ApplicationLabel = a=b\r\n"), std::string::npos);
    EXPECT_NE(text.find("NbFile = 2\r\n"), std::string::npos);
    EXPECT_NE(text.find("[Update]\r\nFile1 = first.exe\r\nFile2 = second.exe\r\n"
                        "Param2 = -x $VERSION$\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("[Extract]\r\nFile1 = AllFiles.zip\r\nFile2 = More.zip\r\n"),
              std::string::npos);
    EXPECT_EQ(text.find("Param1"), std::string::npos);
}

TEST_F(BatchGeneratorTest, ReplacesAnEarlierFileAndReportsAFailedCreation) {
    WriteBytes(m_dir.Path() / "_QXLTmp" / "qxinstaller.txt", "[Old]\r\nFile1 = stale.dll\r\n");
    m_batch.AddSrc(m_src);
    m_batch.AddDelete(L"x.dll");
    ASSERT_EQ(m_batch.WriteBatchFile(), 1);
    EXPECT_EQ(Written().find("stale"), std::string::npos);
    EXPECT_EQ(Written().find("[Old]"), std::string::npos);

    CQXLBatchGenerator nowhere(m_log.Log());
    nowhere.AddSrc(m_dst + L"missing" + kSep);
    EXPECT_EQ(nowhere.WriteBatchFile(), 0);
    EXPECT_TRUE(m_log.Contains("Unable to write batch file (" + Narrow(m_dst) + "missing" +
                               Narrow(kSep) + "qxinstaller.txt) : "));
}
