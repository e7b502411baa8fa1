#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/Process.h"
#include "support/TempDir.h"

// An installation folder for the installer's tests: the real installer binary copied in,
// logging on, a _QXLTmp folder for the new files, and whole-tree snapshots to compare.
class InstallationTree {
public:
    // Every file (with its Summary) and folder ("<folder>") below the installation, by relative
    // path with '/' separators, leaving out what the installer keeps for itself (its binary,
    // log, settings, lock) and the temp folder.
    using Snapshot = std::map<std::string, std::string>;

    InstallationTree();

    const std::filesystem::path& Dst() const { return m_dir.Path(); }
    std::filesystem::path Tmp() const { return Dst() / "_QXLTmp"; }
    // The installation directory as the instruction file names it, with a trailing separator.
    std::wstring DstText() const;
    // True on the Windows build (programs end in ".exe").
    static bool OnWindows();
    // A program file name of this platform: name + ".exe" on Windows.
    static std::string ProgramName(const std::string& name);

    // Sets (or, with an empty value, removes) a variable of this process's environment, which
    // the installer and its programs inherit.
    static void SetEnvironment(const char* name, const std::string& value);
    // Writes a file below root (creating its folders).
    static void Put(const std::filesystem::path& root, const std::string& name,
                    const std::string& bytes);
    // Copies the test programs' stand-in (the pipe peer) to root/name.
    static void PutProgram(const std::filesystem::path& root, const std::string& name);
    // Puts a component to register at root/name: on Windows a DLL whose registration appends
    // its path to the file named by QX_COMPONENT_RECORD; elsewhere a plain file.
    static void PutComponent(const std::filesystem::path& root, const std::string& name);
    // Writes _QXLTmp/qxinstaller.txt: [Config] with Dst and Src, then sections as given.
    void WriteInstructions(const std::string& sections) const;

    // Starts the installer with one argument (none when empty); fault names the step where it
    // is to end abruptly (QXINSTALLER_FAULT), none when empty.
    qxplat::Process Start(const std::wstring& argument = L"", const std::string& fault = "") const;
    // Starts it with these arguments, each passed as it is (Windows: joined by blanks).
    qxplat::Process Start(const std::vector<std::wstring>& arguments,
                          const std::string& fault) const;
    // Starts it and waits for its exit code (-1 when it did not end within two minutes).
    int Run(const std::wstring& argument = L"", const std::string& fault = "") const;
    // Runs it until it ends abruptly at fault; its exit code once the installation's lock is
    // free again (-1 when it is still held a minute later). Windows may let go of a dead
    // process's files a moment after the process has ended.
    int RunToCrash(const std::string& fault) const;

    Snapshot Take() const;
    // A file's bytes as a snapshot holds them: short texts whole, programs by size and hash.
    static std::string Summary(const std::string& bytes);
    // The installer's log so far.
    std::string Log() const;
    // The log of the installer's latest run only: what a failure message of a loop needs.
    std::string LastRunLog() const;

private:
    TempDir m_dir;
};
