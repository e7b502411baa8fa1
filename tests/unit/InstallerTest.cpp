#include <gtest/gtest.h>
#include <thread>

#include "app/QXLProcess.h"
#include "platform/InstallerPipe.h"
#include "platform/System.h"
#include "support/BusyFile.h"
#include "support/Installation.h"
#include "support/InstallationTree.h"
#include "support/TempDir.h"
#include "support/TestLog.h"
#include "update/QXLInstallJournal.h"

// The real installer binary on real folders: each section, failures that must put everything
// back, crashes after every step, unsafe names, and the verdict over the real pipe.
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Snapshot = InstallationTree::Snapshot;

const std::string kSetup = InstallationTree::ProgramName("tools/setup");

// An installation to update: app replaced, lib/core.dll replaced, plugins/sub/extra.dll new
// in two new folders, tools/setup new and run as update program and as installer, old.dll
// deleted, keep.txt untouched.
class InstallerTest : public ::testing::Test {
protected:
    InstallerTest() {
        InstallationTree::Put(m_tree.Dst(), "app.exe", "old app");
        InstallationTree::Put(m_tree.Dst(), "lib/core.dll", "old core");
        InstallationTree::Put(m_tree.Dst(), "old.dll", "old dll");
        InstallationTree::Put(m_tree.Dst(), "keep.txt", "keep");
        m_old = m_tree.Take();
        InstallationTree::Put(m_tree.Tmp(), "app.exe", "new app");
        InstallationTree::Put(m_tree.Tmp(), "lib/core.dll", "new core");
        InstallationTree::Put(m_tree.Tmp(), "plugins/sub/extra.dll", "extra");
        InstallationTree::PutProgram(m_tree.Tmp(), kSetup);
        InstallationTree::PutComponent(m_tree.Tmp(), "lib/component.dll");
        m_source = Sources();
    }

    // The update: the update program gets updateParameters, "exit 0" by default.
    void WriteUpdate(const std::string& updateParameters = "exit 0",
                     const std::string& extraSections = "") {
        const std::string setup = Backslashed(kSetup);
        m_tree.WriteInstructions("NbFile = 9\r\n"
                                 "[Register]\r\nFile1 = lib\\component.dll\r\n"
                                 "[Move]\r\nFile1 = app.exe\r\nFile2 = lib\\core.dll\r\n"
                                 "File3 = plugins\\sub\\extra.dll\r\nFile4 = lib\\component.dll\r\n"
                                 "File5 = " +
                                 setup +
                                 "\r\n"
                                 "[Delete]\r\nFile1 = old.dll\r\n"
                                 "[Update]\r\nFile1 = " +
                                 setup + "\r\nParam1 = " + updateParameters +
                                 "\r\n[Install]\r\nFile1 = " + setup + "\r\n" + extraSections);
    }

    // The tree once the update is in.
    Snapshot NewTree() const {
        Snapshot tree = m_old;
        tree.erase("old.dll");
        tree["app.exe"] = "new app";
        tree["lib/core.dll"] = "new core";
        tree["plugins"] = tree["plugins/sub"] = tree["tools"] = "<folder>";
        tree["plugins/sub/extra.dll"] = "extra";
        tree[kSetup] = InstallationTree::Summary(m_source.at(kSetup));
        tree["lib/component.dll"] = InstallationTree::Summary(m_source.at("lib/component.dll"));
        return tree;
    }

    // The temp folder's files (the instruction file left out).
    Snapshot Sources() const {
        Snapshot files;
        for (const auto& entry : fs::recursive_directory_iterator(m_tree.Tmp()))
            if (entry.is_regular_file() && entry.path().filename() != "qxinstaller.txt")
                files[fs::relative(entry.path(), m_tree.Tmp()).generic_string()] =
                    ReadBytes(entry.path());
        return files;
    }

    static std::string Backslashed(std::string name) {
        for (char& c : name)
            if (c == '/')
                c = '\\';
        return name;
    }

    // Puts the old tree and the new copies back, as before the first run.
    void Reset() {
        for (const auto& [name, bytes] : m_old)
            if (bytes != "<folder>")
                InstallationTree::Put(m_tree.Dst(), name, bytes);
        for (const auto& [name, bytes] : m_tree.Take())
            if (m_old.count(name) == 0)
                fs::remove_all(m_tree.Dst() / fs::path(name).make_preferred());
        const std::string instructions = ReadBytes(m_tree.Tmp() / "qxinstaller.txt");
        fs::remove_all(m_tree.Tmp());
        for (const auto& [name, bytes] : m_source)
            InstallationTree::Put(m_tree.Tmp(), name, bytes);
        WriteBytes(m_tree.Tmp() / "qxinstaller.txt", instructions);
    }

    // A name as the installer reports it: with this platform's separators.
    static std::string Native(std::string name) {
        for (char& c : name)
            if (c == '/' || c == '\\')
                c = static_cast<char>(qxplat::kPathSeparator);
        return name;
    }

    bool NoTransactionLeft() const { return !fs::exists(m_tree.Dst() / "_QXLBackup"); }

    InstallationTree m_tree;
    Snapshot m_old;
    Snapshot m_source;
};

} // namespace

TEST_F(InstallerTest, AppliesEverySectionAndRemovesTheTemporaryFiles) {
    TempDir outside;
    const fs::path record = outside.Path() / "update.args";
    WriteUpdate("record \"" + record.string() + "\" -v \"2.1 beta\"");

    const fs::path registered = outside.Path() / "registered.txt";
    InstallationTree::SetEnvironment("QX_COMPONENT_RECORD", registered.string());
    const int code = m_tree.Run();
    InstallationTree::SetEnvironment("QX_COMPONENT_RECORD", "");
    ASSERT_EQ(code, 0) << m_tree.Log();

    EXPECT_EQ(m_tree.Take(), NewTree());
    EXPECT_EQ(ReadBytes(record), "-v\n2.1 beta\n");
    EXPECT_FALSE(fs::exists(m_tree.Tmp()));
    EXPECT_TRUE(NoTransactionLeft());
    // The installer's own daily log, beside the launcher's.
    ASSERT_TRUE(fs::is_directory(m_tree.Dst() / "LOG"));
    for (const auto& entry : fs::directory_iterator(m_tree.Dst() / "LOG"))
        EXPECT_EQ(entry.path().filename().string().rfind("QXInstaller_", 0), 0u);
    if (InstallationTree::OnWindows())
        EXPECT_EQ(ReadBytes(registered), (m_tree.Dst() / "lib" / "component.dll").string() + "\n");
    else
        EXPECT_NE(m_tree.Log().find("Register lib/component.dll : nothing to do on this system"),
                  std::string::npos);
}

TEST_F(InstallerTest, AFailedStepPutsEveryFileBack) {
    // The update program fails after every file is in place; an archive to extract; a
    // package that cannot be installed; a component that cannot be registered (Windows:
    // Linux has no registration).
    InstallationTree::Put(m_tree.Tmp(), "runtime.msi", "not a package");
    WriteUpdate("exit 3");
    EXPECT_EQ(m_tree.Run(), 1) << m_tree.Log();
    EXPECT_EQ(m_tree.Take(), m_old);
    EXPECT_EQ(Sources().size(), m_source.size() + 1); // the new copies are back in _QXLTmp
    EXPECT_TRUE(NoTransactionLeft());
    EXPECT_NE(m_tree.Log().find("Update failed: " + Native(kSetup) + " (exit code 3)"),
              std::string::npos)
        << m_tree.Log();

    WriteUpdate("exit 0", "[Extract]\r\nFile1 = bundle.zip\r\n");
    EXPECT_EQ(m_tree.Run(), 1);
    EXPECT_EQ(m_tree.Take(), m_old);
    EXPECT_NE(m_tree.Log().find("Extract is not supported: bundle.zip"), std::string::npos);

    m_tree.WriteInstructions("NbFile = 3\r\n[Move]\r\nFile1 = app.exe\r\nFile2 = runtime.msi\r\n"
                             "[Install]\r\nFile1 = runtime.msi\r\n");
    EXPECT_EQ(m_tree.Run(), 1);
    EXPECT_EQ(m_tree.Take(), m_old);

    if (InstallationTree::OnWindows()) {
        m_tree.WriteInstructions(
            "NbFile = 2\r\n[Move]\r\nFile1 = app.exe\r\n[Register]\r\nFile1 = app.exe\r\n");
        EXPECT_EQ(m_tree.Run(), 1);
        EXPECT_EQ(m_tree.Take(), m_old);
        EXPECT_NE(m_tree.Log().find("Register failed: app.exe"), std::string::npos);
    }
}

TEST_F(InstallerTest, RefusesUnsafeNamesWithoutTouchingAnything) {
    TempDir outside;
    InstallationTree::Put(m_tree.Tmp(), "evil.txt", "evil");
    const std::string escape =
        "..\\..\\" + fs::path(outside.Path()).filename().string() + "\\evil.txt";
    for (const std::string& section : std::vector<std::string>{
             "[Move]\r\nFile1 = app.exe\r\nFile2 = " + escape + "\r\n",
             "[Move]\r\nFile1 = app.exe\r\nFile2 = lib\\..\\..\\evil.txt\r\n",
             "[Move]\r\nFile1 = app.exe\r\n[Delete]\r\nFile1 = ..\\keep.txt\r\n",
             "[Move]\r\nFile1 = app.exe\r\n[Delete]\r\nFile1 = C:\\Windows\\win.ini\r\n",
             "[Move]\r\nFile1 = /etc/evil.txt\r\n",
             "[Move]\r\nFile1 = app.exe\r\nFile2 = _QXLBackup\\app.exe\r\n",
             "[Move]\r\nFile1 = app.exe\r\nFile2 = APP.EXE\r\n",
             "[Move]\r\nFile1 = app.exe\r\n[Update]\r\nFile1 = ..\\setup.exe\r\n",
             // Cut short: two of the three entries are missing, or cut before NbFile.
             "NbFile = 3\r\n[Move]\r\nFile1 = app.exe\r\n", ""}) {
        SCOPED_TRACE(section);
        m_tree.WriteInstructions(section);
        EXPECT_EQ(m_tree.Run(), 1);
        EXPECT_EQ(m_tree.Take(), m_old);
        EXPECT_EQ(Sources().size(), m_source.size() + 1);
        EXPECT_TRUE(fs::is_empty(outside.Path()));
        EXPECT_TRUE(NoTransactionLeft());
    }
    EXPECT_NE(m_tree.Log().find("Instruction file incomplete: no NbFile"), std::string::npos);
    EXPECT_NE(m_tree.Log().find("Unsafe name in Move: "), std::string::npos);
    EXPECT_NE(
        m_tree.Log().find("Unsafe name in Delete: " + Native("../keep.txt") + " (dot segment)"),
        std::string::npos)
        << m_tree.Log();
}

// Windows file names ignore letter case, Linux ones do not: there they are two files.
TEST_F(InstallerTest, NamesThatDifferOnlyInCaseAreTwoFilesOnLinuxOnly) {
    InstallationTree::Put(m_tree.Tmp(), "data.txt", "lower");
    InstallationTree::Put(m_tree.Tmp(), "DATA.txt", "upper");
    m_tree.WriteInstructions("NbFile = 2\r\n[Move]\r\nFile1 = data.txt\r\nFile2 = DATA.txt\r\n");
    const bool windows = InstallationTree::OnWindows();
    EXPECT_EQ(m_tree.Run(), windows ? 1 : 0) << m_tree.Log();
    EXPECT_EQ(m_tree.Take().size(), m_old.size() + (windows ? 0 : 2));
}

// A replacing copy takes the replaced file's mode and keeps the run bits it came with.
TEST_F(InstallerTest, AReplacingCopyKeepsTheReplacedModeAndItsOwnRunBits) {
    if (InstallationTree::OnWindows())
        GTEST_SKIP() << "Windows files have no run bits";
    const auto mode = [](const fs::path& path, unsigned bits) {
        fs::permissions(path, static_cast<fs::perms>(bits));
    };
    mode(m_tree.Dst() / "app.exe", 0640); // a program that lost its run bits
    mode(m_tree.Tmp() / "app.exe", 0755); // the copy the launcher made runnable
    m_tree.WriteInstructions("NbFile = 1\r\n[Move]\r\nFile1 = app.exe\r\n");
    EXPECT_EQ(m_tree.Run(), 0) << m_tree.Log();
    EXPECT_EQ(fs::status(m_tree.Dst() / "app.exe").permissions(), static_cast<fs::perms>(0750));
}

// A folder of the installation that is a link to elsewhere is not followed.
TEST_F(InstallerTest, RefusesToFollowALinkOutOfTheInstallation) {
    TempDir outside;
    InstallationTree::Put(outside.Path(), "victim.dll", "victim");
    std::error_code error;
    fs::create_directory_symlink(outside.Path(), m_tree.Dst() / "linked", error);
    if (error)
        GTEST_SKIP() << "no folder links here: " << error.message();
    m_tree.WriteInstructions("NbFile = 1\r\n[Delete]\r\nFile1 = linked\\victim.dll\r\n");
    EXPECT_EQ(m_tree.Run(), 1);
    EXPECT_EQ(ReadBytes(outside.Path() / "victim.dll"), "victim");
    EXPECT_NE(m_tree.Log().find("leads out of the installation through a link: " +
                                Native("linked/victim.dll")),
              std::string::npos)
        << m_tree.Log();
}

// A file that cannot be replaced (in use on Windows, immutable on Linux) stops the
// installation after other files were already moved: those go back too.
TEST_F(InstallerTest, AFileThatCannotBeReplacedPutsBackTheFilesMovedBeforeIt) {
    WriteUpdate();
    const fs::path core = m_tree.Dst() / "lib" / "core.dll";
    std::unique_ptr<BusyFile> busy;
    std::unique_ptr<ReadOnlyFile> fixed;
    if (InstallationTree::OnWindows()) {
        busy = std::make_unique<BusyFile>(core);
        ASSERT_TRUE(busy->Created());
    } else {
        fixed = std::make_unique<ReadOnlyFile>(core);
        if (!fixed->Why().empty())
            GTEST_SKIP() << fixed->Why();
    }
    EXPECT_EQ(m_tree.Run(), 1);
    EXPECT_NE(m_tree.Log().find("Move failed: " + Native("lib/core.dll")), std::string::npos)
        << m_tree.Log();
    busy.reset();
    fixed.reset();
    EXPECT_EQ(m_tree.Take(), m_old);
    EXPECT_EQ(Sources(), m_source);
    EXPECT_TRUE(NoTransactionLeft());
}

// Windows refuses to delete read-only files: the backups of such files must go all the same,
// or the next installation could not start.
TEST_F(InstallerTest, ReplacesAndDeletesReadOnlyFilesWithoutLeavingBackups) {
    const auto readOnly = [](const fs::path& path, bool on) {
        fs::permissions(path,
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        on ? fs::perm_options::remove : fs::perm_options::add);
    };
    readOnly(m_tree.Dst() / "old.dll", true);
    readOnly(m_tree.Dst() / "lib" / "core.dll", true);
    WriteUpdate();
    EXPECT_EQ(m_tree.Run(), 0) << m_tree.Log();
    EXPECT_EQ(m_tree.Take(), NewTree());
    EXPECT_TRUE(NoTransactionLeft());
    EXPECT_EQ(m_tree.Log().find("Unable to remove"), std::string::npos) << m_tree.Log();
    readOnly(m_tree.Dst() / "lib" / "core.dll", false);
}

// A rollback that is itself cut short by a crash is finished by the next start.
TEST_F(InstallerTest, ACrashWhilePuttingFilesBackLeavesTheOldTree) {
    WriteUpdate("exit 3");
    for (const char* fault : {"undo", "undo#4", "undo#9"}) {
        SCOPED_TRACE(fault);
        ASSERT_EQ(m_tree.RunToCrash(fault), 86) << m_tree.LastRunLog();
        TestLog log;
        EXPECT_TRUE(RecoverInstallation(m_tree.DstText(), log.Log())) << log.Text();
        EXPECT_EQ(m_tree.Take(), m_old);
        EXPECT_EQ(Sources().size(), m_source.size());
        EXPECT_TRUE(NoTransactionLeft());
    }
}

// A crash after each step: the launcher's recovery leaves the old tree before the commit and
// the new one after it; before the commit the next installer run then installs the update
// whole, since the rollback put the new copies back.
TEST_F(InstallerTest, ACrashAfterAnyStepLeavesTheOldOrTheNewTree) {
    const std::pair<std::string, bool> faults[] = {
        {"journal", false}, {"folder", false},   {"folder#3", false}, {"backup", false},
        {"move", false},    {"backup#2", false}, {"move#3", false},   {"move#4", false},
        {"delete", false},  {"update", false},   {"install", false},  {"commit", true},
        {"cleanup", true}};
    WriteUpdate();
    const std::string instructions = ReadBytes(m_tree.Tmp() / "qxinstaller.txt");
    int round = 0;
    for (const auto& [fault, committed] : faults) {
        SCOPED_TRACE(fault);
        ASSERT_EQ(m_tree.Take(), m_old);
        ASSERT_EQ(m_tree.RunToCrash(fault), 86) << m_tree.LastRunLog();
        // Half of the rounds are settled by the launcher, half by the next installer run.
        if (++round % 2 == 0 || committed) {
            TestLog log;
            EXPECT_TRUE(RecoverInstallation(m_tree.DstText(), log.Log())) << log.Text();
            EXPECT_EQ(m_tree.Take(), committed ? NewTree() : m_old);
            EXPECT_TRUE(NoTransactionLeft());
        }
        if (!committed) {
            EXPECT_EQ(m_tree.Run(), 0) << m_tree.LastRunLog();
            EXPECT_EQ(m_tree.Take(), NewTree());
        }
        fs::create_directories(m_tree.Tmp());
        WriteBytes(m_tree.Tmp() / "qxinstaller.txt", instructions);
        Reset();
    }
}

// The launcher settles a left journal as it starts, before it looks at the installed files.
TEST_F(InstallerTest, TheLauncherStartFinishesAnInstallationKilledAfterItsCommit) {
    WriteUpdate();
    ASSERT_EQ(m_tree.RunToCrash("commit"), 86) << m_tree.Log();
    TempDir logs;
    CQXLProcess launcher(nullptr, kQXEnglishBase, L"", logs.Path().wstring(),
                         m_tree.DstText() + L"QXLauncher.exe");
    launcher.RunSequence(); // no qxurl.net: the run ends at once
    EXPECT_EQ(m_tree.Take(), NewTree());
    EXPECT_TRUE(NoTransactionLeft());
}

TEST_F(InstallerTest, SendsItsVerdictToTheLauncherThatStartedIt) {
    for (const auto& [parameters, verdict] :
         {std::pair<std::string, std::string>{"exit 5", "Update failed: " + Native(kSetup) +
                                                            " (exit code 5)"},
          {"exit 0", "\x02"
                     "END"}}) {
        WriteUpdate(parameters);
        auto server = qxplat::InstallerPipeServer::Create();
        ASSERT_TRUE(server);
        const qxplat::Process installer = m_tree.Start(L"-QXL");
        ASSERT_EQ(server->WaitForClient(installer, 60s),
                  qxplat::InstallerPipeServer::Wait::Connected);
        std::string message;
        ASSERT_TRUE(server->ReadMessage(installer, message));
        EXPECT_EQ(message, verdict);
        EXPECT_EQ(installer.WaitForExit(60s), verdict.size() == 4 ? 0 : 1);
    }
    EXPECT_EQ(m_tree.Take(), NewTree());
}

// The installer connects as it starts: an installation that outlasts the launcher's wait for
// the connection still ends with its verdict.
TEST_F(InstallerTest, TheLauncherGetsTheVerdictOfAnInstallationLongerThanItsConnectWait) {
    WriteUpdate("sleep 8000");
    Installation install({});
    install.Application().SetInstallationDirectory(m_tree.DstText());
    install.Installer().SetInstallerConnectTimeoutForTests(4s);
    int selfUpdate = 0;
    EXPECT_EQ(install.Installer().RunInstaller(selfUpdate), 1)
        << install.Log().Text() << m_tree.Log();
    ASSERT_TRUE(install.Starter().LastStarted());
    EXPECT_EQ(install.Starter().LastStarted()->WaitForExit(60s), 0);
    EXPECT_EQ(m_tree.Take(), NewTree());
}

// The self-update: only the launcher and the installer itself are new. The launcher that
// started the installer is still running at first; the new one gets the session.
TEST_F(InstallerTest, AfterASelfUpdateWaitsForTheLauncherAndStartsItAgain) {
    const std::string launcher = InstallationTree::ProgramName("QXLauncher");
    const std::string self = InstallationTree::ProgramName("QXInstaller");
    InstallationTree::PutProgram(m_tree.Dst(), launcher);
    // New copies that still run: a program file with bytes appended loads as before.
    InstallationTree::PutProgram(m_tree.Tmp(), launcher);
    const std::string oldLauncher = ReadBytes(m_tree.Dst() / launcher);
    const std::string newLauncher = oldLauncher + "NEW";
    const std::string newInstaller = ReadBytes(m_tree.Dst() / self) + "NEW";
    WriteBytes(m_tree.Tmp() / launcher, newLauncher);
    WriteBytes(m_tree.Tmp() / self, newInstaller);
    m_tree.WriteInstructions("NbFile = 2\r\n[Move]\r\nFile1 = " + launcher + "\r\nFile2 = " + self +
                             "\r\n");

    const std::wstring launcherPath = (m_tree.Dst() / launcher).wstring();
    const auto running = qxplat::StartProcess(L"\"" + launcherPath + L"\" sleep 3000",
                                              {launcherPath, L"sleep", L"3000"});
    ASSERT_TRUE(running);
    // As the launcher starts it: the user name's blank splits the argument in two.
    const qxplat::Process installer =
        m_tree.Start(std::vector<std::wstring>{L"-SID:S1D,jean", L"dupont"}, "");
    std::this_thread::sleep_for(1s);
    // Nothing is touched while the launcher runs.
    EXPECT_TRUE(installer.IsRunning());
    EXPECT_EQ(ReadBytes(m_tree.Dst() / launcher), oldLauncher);
    EXPECT_EQ(installer.WaitForExit(60s), 0) << m_tree.Log();

    const fs::path restarted = m_tree.Dst() / (launcher + ".args");
    for (int i = 0; i < 600 && !fs::exists(restarted); ++i)
        std::this_thread::sleep_for(100ms);
    EXPECT_EQ(ReadBytes(restarted), "-SID:S1D,jean dupont\n") << m_tree.Log();
    EXPECT_EQ(ReadBytes(m_tree.Dst() / launcher), newLauncher);
    EXPECT_EQ(ReadBytes(m_tree.Dst() / self), newInstaller);
    EXPECT_FALSE(fs::exists(m_tree.Tmp()));
}

TEST_F(InstallerTest, ALeftJournalThatPointsOutsideIsNotFollowed) {
    TempDir outside;
    InstallationTree::Put(outside.Path(), "victim.txt", "victim");
    const std::string escape =
        Native("../../" + outside.Path().filename().string() + "/victim.txt");
    for (const std::string& entry : {"N " + escape, "X " + escape, "R app.exe\nN " + escape}) {
        SCOPED_TRACE(entry);
        InstallationTree::Put(m_tree.Dst(), "_QXLBackup/qxinstaller.journal",
                              "QXLJOURNAL 1\n" + entry + "\n");
        TestLog log;
        EXPECT_TRUE(RecoverInstallation(m_tree.DstText(), log.Log())) << log.Text();
        EXPECT_TRUE(log.Contains("cannot be read whole")) << log.Text();
        EXPECT_EQ(m_tree.Run(), 1);
        EXPECT_EQ(ReadBytes(outside.Path() / "victim.txt"), "victim");
        EXPECT_TRUE(fs::exists(m_tree.Dst() / "_QXLBackup.damaged" / "qxinstaller.journal"));
        fs::remove_all(m_tree.Dst() / "_QXLBackup.damaged");
        EXPECT_EQ(m_tree.Take(), m_old);
    }
}

// A damaged journal is undone as far as it can be read and set aside; one that names a file
// the update does not is not followed there. Either way the next update goes on.
TEST_F(InstallerTest, ADamagedJournalIsUndoneAsFarAsItGoesThenSetAside) {
    WriteUpdate();
    const fs::path journal = m_tree.Dst() / "_QXLBackup" / "qxinstaller.journal";
    for (const std::string& damage : {std::string("Z \xff\n"), std::string("X keep.txt\n")}) {
        SCOPED_TRACE(damage);
        ASSERT_EQ(m_tree.Run(L"", "move#3"), 86) << m_tree.LastRunLog();
        InstallationTree::Put(m_tree.Dst(), "_QXLBackup/keep.txt", "planted");
        WriteBytes(journal, ReadBytes(journal) + damage);
        TestLog log;
        EXPECT_TRUE(RecoverInstallation(m_tree.DstText(), log.Log())) << log.Text();
        EXPECT_TRUE(log.Contains("set aside in ")) << log.Text();
        EXPECT_EQ(ReadBytes(m_tree.Dst() / "_QXLBackup.damaged" / "keep.txt"), "planted");
        fs::remove_all(m_tree.Dst() / "_QXLBackup.damaged");
        EXPECT_EQ(m_tree.Take(), m_old);
    }
    EXPECT_EQ(m_tree.Run(), 0) << m_tree.LastRunLog();
    EXPECT_EQ(m_tree.Take(), NewTree());
}
