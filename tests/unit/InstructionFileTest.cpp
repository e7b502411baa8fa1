#include <gtest/gtest.h>

#include "platform/System.h"
#include "support/Installation.h"
#include "update/QXChecksum.h"

namespace {

std::wstring Table(const std::wstring& header, const std::wstring& rows) {
    return L"COLONNES=" + header + L"\r\nTBLDATBEGIN_99\r\n" + rows + L"TBLDATEND_99";
}

std::wstring ChecksumText(const std::string& bytes) {
    CQXChecksum sum;
    sum.Update(bytes.data(), bytes.size());
    return std::to_wstring(sum.Value());
}

} // namespace

// From the replies to the instruction file, as the update sequence goes through them.
TEST(InstructionFile, RepliesLeadToTheInstructionFile) {
    Installation install({});
    CQXLServerClient& server = install.Server();
    CQXLFileSet& files = install.Application().Files();
    CQXLInstallerHandOff& installer = install.Installer();
    const std::filesystem::path dir = files.InstallationDirectory();
    WriteBytes(dir / "same.dll", "same");

    EXPECT_TRUE(server.ReadApplicationInfo(
        Table(L"ApplicationLabel|S;ReleaseNoteName|S;", L"\tNotes.txt\r\n")));
    server.ReadFileList(Table(L"FileName|S;FileSize|N;FileChecksum|N;FileMode|S;FilePath|S;",
                              L"same.dll\t4\t" + ChecksumText("same") +
                                  L"\tdelta\t--\r\n"
                                  L"notes.txt\t3\t1\tdelta\tdoc\r\n"
                                  L"..\t1\t1\tdelta\t\r\n"));
    ASSERT_EQ(files.UpdateList().size(), 1u);
    EXPECT_EQ(files.UpdateList()[0]->FileName(), L"notes.txt");
    ASSERT_NE(files.ReleaseNoteFile(), nullptr);
    EXPECT_EQ(install.Application().CountFilesToUpdate(), 1u);
    EXPECT_TRUE(install.Log().Contains("File refused, unsafe name"));

    ASSERT_EQ(installer.SetTempDirectory(), 1);
    EXPECT_EQ(installer.SetTempDirectory(), 1); // an existing folder is fine
    const std::wstring sep(1, qxplat::kPathSeparator);
    EXPECT_EQ(installer.GetTempDirectory(), dir.wstring() + L"_QXLTmp" + sep);
    EXPECT_EQ(install.Application().CheckLockedFiles(), 1);
    EXPECT_EQ(install.Application().RebootNeeded(), 0);

    CQXLBatchGenerator& batch = install.Instructions();
    batch.AddDst(files.InstallationDirectory());
    batch.AddSrc(installer.GetTempDirectory());
    batch.AddMove(files.UpdateList()[0]->RelativeName());
    EXPECT_EQ(installer.WriteInstallerFiles(), 1);
    const std::string text = ReadBytes(dir / "_QXLTmp" / "qxinstaller.txt");
    EXPECT_EQ(text.rfind("[Config]\r\nApplicationLabel = QXWIN\r\nDst = ", 0), 0u) << text;
    EXPECT_NE(text.find("[Move]\r\nFile1 = doc" +
                        std::string(1, static_cast<char>(qxplat::kPathSeparator)) +
                        "notes.txt\r\n"),
              std::string::npos)
        << text;
}

TEST(InstructionFile, TempDirectoryFailureIsLogged) {
    TempDir dir;
    Installation install({});
    install.Application().Files().SetInstallationDirectory((dir.Path() / "missing").wstring());
    EXPECT_EQ(install.Installer().SetTempDirectory(), 0);
    EXPECT_TRUE(install.Log().Contains("Unable to create download directory ("));
}
