#include <gtest/gtest.h>
#include <random>

#include "platform/System.h"
#include "support/TestLog.h"
#include "update/QXChecksum.h"
#include "update/QXLFile.h"
#include "update/QXLFileSet.h"
#include "update/QXLSafeName.h"

namespace {

const std::wstring kSep(1, qxplat::kPathSeparator);

std::uint32_t ChecksumOf(const std::string& bytes) {
    CQXChecksum sum;
    sum.Update(bytes.data(), bytes.size());
    return sum.Value();
}

std::string Bytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// An installation directory with a file set whose rows a test writes.
class FileSetTest : public ::testing::Test {
protected:
    FileSetTest() : m_set(m_log.Log()) { m_set.SetInstallationDirectory(m_dir.Path().wstring()); }

    // Installs content under name (a relative path with '/'), creating its folders.
    void Install(const std::string& name, const std::string& content) {
        const auto path = m_dir.Path() / name;
        std::filesystem::create_directories(path.parent_path());
        WriteBytes(path, content);
    }

    // A row listing content under name in mode.
    static CQXLFileRow Row(const std::wstring& name, const std::string& content, int mode,
                           const std::wstring& path = L"") {
        CQXLFileRow row;
        row.FileName = name;
        row.FileSize = static_cast<std::int32_t>(content.size());
        row.FileChecksum = ChecksumOf(content);
        row.FileMode = mode;
        row.FilePath = path;
        return row;
    }

    static std::vector<std::wstring> Names(const CQXLFileSet::FileList& list) {
        std::vector<std::wstring> names;
        for (const auto& file : list)
            names.push_back(file->FileName());
        return names;
    }

    TempDir m_dir;
    TestLog m_log;
    CQXLFileSet m_set;
};

} // namespace

TEST_F(FileSetTest, SetFileNormalisesThePathAndLogsItAsReceived) {
    CQXLFile file(m_log.Log());
    file.SetFile(L"a.dll", 4294950529u, 12, ModeDelta, 1, 0, L"bin/sub");
    EXPECT_EQ(file.FilePath(), L"bin" + kSep + L"sub" + kSep);
    EXPECT_EQ(file.ServerPath(), file.FilePath());
    EXPECT_TRUE(m_log.Contains(
        "File:a.dll Checksum:4294950529 Size:12 Mode:1 ActiveX:TRUE Launch:FALSE Path:bin/sub"));
    file.SetFile(L"a.dll", 0, 0, ModeDelta, 0, 0, L"--");
    EXPECT_EQ(file.FilePath(), L"");
    file.SetFile(L"a.dll", 0, 0, ModeDelta, 0, 0, L"bin\\");
    EXPECT_EQ(file.FilePath(), L"bin" + kSep);
    file.SetFile(L"notes.pdf", 0, 0, ModeDelta, 0, 0, L"_ReleaseNoteTmp" + kSep, L"");
    EXPECT_EQ(file.ServerPath(), L"");
}

TEST_F(FileSetTest, IsUpToDateComparesSizeThenEveryBlockOfTheChecksum) {
    const std::string content = Bytes(200000, 3); // several 64 KiB blocks and a tail
    Install("bin/big.dat", content);
    CQXLFile file(m_log.Log());
    file.SetFile(L"big.dat", ChecksumOf(content), 200000, ModeDelta, 0, 0, L"bin");
    EXPECT_EQ(file.IsUpToDate(m_set.InstallationDirectory()), 1);
    EXPECT_TRUE(m_log.Contains("No download : checksum is the same"));

    std::string changed = content;
    changed[150000] ^= 1;
    file.SetFile(L"big.dat", ChecksumOf(changed), 200000, ModeDelta, 0, 0, L"bin");
    EXPECT_EQ(file.IsUpToDate(m_set.InstallationDirectory()), 0);
    EXPECT_TRUE(m_log.Contains("Do download : checksum is different from " +
                               std::to_string(ChecksumOf(content))));

    file.SetFile(L"big.dat", ChecksumOf(content), 199999, ModeDelta, 0, 0, L"bin");
    EXPECT_EQ(file.IsUpToDate(m_set.InstallationDirectory()), 0);
    EXPECT_TRUE(m_log.Contains("Do download : size is different from 200000"));

    file.SetFile(L"absent.dat", 0, 0, ModeDelta, 0, 0, L"bin");
    EXPECT_EQ(file.IsUpToDate(m_set.InstallationDirectory()), 0);
    EXPECT_TRUE(m_log.Contains("Do download : file does not exist : "));
}

// Listed as a program or not, or, unlisted, by its first bytes; a current program that an older
// download left without its run bits gets them at the check (it is never fetched again).
TEST_F(FileSetTest, ProgramsAreWhatTheListSaysOrWhatTheirFirstBytesShow) {
    const struct {
        int listed;
        std::string head;
        bool program;
    } cases[] = {{-1, "\177ELF", true}, {-1, "#!/b", true},   {-1, "\177EL", false},
                 {-1, " #!", false},    {-1, "", false},      {1, "text", true},
                 {0, "\177ELF", false}, {-1, "MZ\x90", false}};
    for (const auto& c : cases) {
        Install("f", c.head);
        std::filesystem::permissions(m_dir.Path() / "f", static_cast<std::filesystem::perms>(0640));
        CQXLFile file(m_log.Log());
        file.SetFile(L"f", ChecksumOf(c.head), static_cast<std::int32_t>(c.head.size()), 1, 0, 0,
                     L"");
        file.SetExecutable(c.listed);
        EXPECT_EQ(file.IsProgram(c.head), c.program) << c.listed << " " << c.head;
        EXPECT_EQ(file.IsUpToDate(m_set.InstallationDirectory()), 1);
        const bool runs = c.program && qxplat::kPathSeparator == L'/'; // no run bits on Windows
        EXPECT_EQ(std::filesystem::status(m_dir.Path() / "f").permissions() ==
                      static_cast<std::filesystem::perms>(0750),
                  runs);
    }
}

TEST_F(FileSetTest, MarkHandledSucceedsOnce) {
    CQXLFile file(m_log.Log());
    EXPECT_EQ(file.MarkHandled(), 1);
    EXPECT_EQ(file.Handled(), 1);
    EXPECT_EQ(file.MarkHandled(), 0);
}

TEST_F(FileSetTest, DecidesByModeAndListsNewestRowFirst) {
    Install("right.dll", "same");
    Install("wrong.dll", "old content");
    Install("sub/create-present.ini", "local settings");
    Install("delete-present.dll", "x");
    Install("update-current.exe", "setup");
    Install("install-wrong.msi", "old");
    Install("none.txt", "anything");
    m_set.ReadFileList(
        {
            Row(L"right.dll", "same", ModeDelta),
            Row(L"wrong.dll", "new content", ModeDelta),
            Row(L"absent.dll", "data", ModeDelta),
            Row(L"create-present.ini", "server settings", ModeCreate, L"sub"),
            Row(L"create-absent.ini", "defaults", ModeCreate, L"sub"),
            Row(L"delete-present.dll", "?", ModeDelete),
            Row(L"delete-absent.dll", "?", ModeDelete),
            Row(L"update-current.exe", "setup", ModeUpdate),
            Row(L"update-absent.exe", "setup2", ModeUpdate),
            Row(L"install-wrong.msi", "new", ModeInstall),
            Row(L"none.txt", "different", ModeNone),
        },
        L"");
    EXPECT_EQ(Names(m_set.UpdateList()),
              (std::vector<std::wstring>{L"install-wrong.msi", L"update-absent.exe",
                                         L"update-current.exe", L"delete-present.dll",
                                         L"create-absent.ini", L"absent.dll", L"wrong.dll"}));
    EXPECT_EQ(m_set.UpdateList()[2]->FileMode(), ModeUpdateUnchanged);
    EXPECT_EQ(m_set.UpdateList()[1]->FileMode(), ModeUpdate);
    EXPECT_EQ(m_set.DeleteCount(), 1);
    EXPECT_EQ(m_set.UnchangedUpdateCount(), 1);
    EXPECT_EQ(m_set.CountFilesToUpdate(), 6u);
    EXPECT_EQ(m_set.TotalUpdateBytes(), 3 + 6 + 5 + 1 + 8 + 4 + 11);
    EXPECT_EQ(m_set.RebootNeeded(), 1);
    EXPECT_EQ(m_set.LauncherUpdate(), 0);
    EXPECT_TRUE(m_log.Contains("No delete : file does not exist : "));
    EXPECT_TRUE(m_log.Contains("Do delete : file exists"));
    EXPECT_TRUE(m_log.Contains("No download : file already exists"));
}

TEST_F(FileSetTest, CurrentUpdateFilesAloneLeaveNothingToUpdate) {
    Install("setup.exe", "setup");
    Install("tool.exe", "tool");
    m_set.ReadFileList(
        {Row(L"setup.exe", "setup", ModeUpdate), Row(L"tool.exe", "tool", ModeUpdate)}, L"");
    EXPECT_EQ(m_set.UpdateList().size(), 2u);
    EXPECT_EQ(m_set.UnchangedUpdateCount(), 2);
    EXPECT_EQ(m_set.CountFilesToUpdate(), 0u);
    EXPECT_EQ(m_set.RebootNeeded(), 0);
}

TEST_F(FileSetTest, OutdatedLauncherCutsTheListToLauncherAndInstaller) {
    Install("QXLauncher.exe", "old launcher");
    Install("current.exe", "setup");
    Install("gone.dll", "x");
    CQXLFileRow launched = Row(L"qxflux.exe", "new app", ModeDelta);
    launched.HasToBeLaunched = 1;
    m_set.ReadFileList({Row(L"qxinstaller.EXE", "new installer", ModeDelta), launched,
                        Row(L"gone.dll", "", ModeDelete), Row(L"current.exe", "setup", ModeUpdate),
                        Row(L"QXLauncher.exe", "new launcher", ModeDelta)},
                       L"");
    EXPECT_EQ(m_set.LauncherUpdate(), 1);
    EXPECT_TRUE(m_log.Contains("QXLauncher need to be updated"));
    EXPECT_EQ(Names(m_set.UpdateList()),
              (std::vector<std::wstring>{L"QXLauncher.exe", L"qxinstaller.EXE"}));
    EXPECT_EQ(m_set.DeleteCount(), 0);
    EXPECT_EQ(m_set.UnchangedUpdateCount(), 0);
    EXPECT_EQ(m_set.CountFilesToUpdate(), 2u);
    // The program to start stays on its own list.
    ASSERT_EQ(m_set.LaunchList().size(), 1u);
    EXPECT_EQ(m_set.LaunchList()[0]->FileName(), L"qxflux.exe");
}

TEST_F(FileSetTest, ReleaseNoteRowIsCopiedAndBureauIsNoted) {
    Install("notes.pdf", "same");
    CQXLFileRow bureau = Row(L"QXBureau.exe", "b", ModeNone);
    bureau.HasToBeLaunched = 1;
    m_set.ReadFileList({Row(L"Notes.PDF", "same", ModeDelta, L"doc"), bureau}, L"notes.pdf");
    ASSERT_NE(m_set.ReleaseNoteFile(), nullptr);
    EXPECT_EQ(m_set.ReleaseNoteFile()->FileName(), L"Notes.PDF");
    EXPECT_EQ(m_set.ReleaseNoteFile()->FilePath(), L"_ReleaseNoteTmp" + kSep);
    EXPECT_EQ(m_set.ReleaseNoteFile()->ServerPath(), L"");
    EXPECT_EQ(m_set.ReleaseNoteFile()->FileChecksum(), ChecksumOf("same"));
    EXPECT_EQ(m_set.StartBureau(), 1);
    EXPECT_EQ(Names(m_set.LaunchList()), (std::vector<std::wstring>{L"QXBureau.exe"}));
}

TEST_F(FileSetTest, UnsafeNamesAreRefusedAndTheOtherRowsGoOn) {
    const std::vector<std::pair<std::wstring, std::wstring>> unsafe = {
        {L"", L""},
        {L"a/b.dll", L""},
        {L"a\\b.dll", L""},
        {L"c:evil.dll", L""},
        {L".", L""},
        {L"..", L""},
        {L"CON", L""},
        {L"nul.txt", L""},
        {L"Com1.log", L""},
        {L"lpt9", L""},
        {L"trail.", L""},
        {L"trail ", L""},
        {std::wstring(L"CON\0x", 5), L""},
        {L"tab\tname", L""},
        {L"CON .txt", L""},
        {L"conout$", L""},
        {L"COM\u00b9", L""},
        {L"x.dll", std::wstring(L"..\0", 3)},
        {L"x.dll", L"/etc"},
        {L"x.dll", L"\\Windows"},
        {L"x.dll", L"C:\\Windows"},
        {L"x.dll", L"C:x"},
        {L"x.dll", L"\\\\server\\share"},
        {L"x.dll", L"bin/../.."},
        {L"x.dll", L".."},
        {L"x.dll", L"./bin"},
        {L"x.dll", L"bin\\.\\x"},
        {L"x.dll", L"bin/aux"},
    };
    std::vector<CQXLFileRow> rows;
    for (const auto& [name, path] : unsafe) {
        CQXLFileRow row = Row(name, "z", ModeDelta, path);
        row.HasToBeLaunched = 1;
        rows.push_back(row);
    }
    rows.push_back(Row(L"good.dll", "z", ModeDelta, L"bin/..x/a..b"));
    m_set.ReadFileList(rows, L"..");
    EXPECT_EQ(Names(m_set.UpdateList()), (std::vector<std::wstring>{L"good.dll"}));
    EXPECT_TRUE(m_set.LaunchList().empty());
    EXPECT_EQ(m_set.ReleaseNoteFile(), nullptr);
    EXPECT_TRUE(m_log.Contains("File refused, unsafe name (device name) : \"Com1.log\" in \"\""));
    EXPECT_TRUE(
        m_log.Contains("File refused, unsafe name (dot segment) : \"x.dll\" in \"bin/../..\""));
    const std::string text = m_log.Text();
    std::size_t refusals = 0;
    for (std::size_t at = text.find("File refused"); at != std::string::npos;
         at = text.find("File refused", at + 1))
        ++refusals;
    EXPECT_EQ(refusals, unsafe.size());
}

TEST(SafeName, AcceptsPlainNamesThatOnlyResembleUnsafeOnes) {
    for (const wchar_t* name : {L"console.exe", L"COM10", L"LPT0.txt", L"..x", L"a..b", L"nul_"})
        EXPECT_EQ(QXLUnsafeFileNameReason(name), nullptr) << std::string(name, name + wcslen(name));
    for (const wchar_t* path : {L"--", L"", L"bin", L"bin/", L"bin\\sub\\", L"..bin/x..y", L"a//b"})
        EXPECT_EQ(QXLUnsafeFilePathReason(path), nullptr) << std::string(path, path + wcslen(path));
}
