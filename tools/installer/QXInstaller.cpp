#include "QXInstaller.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <vector>

#include "QXInstallerSystem.h"
#include "base/QXCommandLine.h"
#include "base/QXText.h"
#include "platform/DurableFiles.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/System.h"
#include "update/QXLSafeName.h"

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kInstructionFileName[] = L"qxinstaller.txt";
// Package installers and update programs may take long, but not for ever.
constexpr std::chrono::hours kProgramTimeout{2};

struct NamedSection {
    const wchar_t* name;
    const std::vector<SQXInstallerEntry>& entries;
};

bool IsFile(const std::wstring& path) {
    std::error_code ignored;
    return fs::is_regular_file(QXFsPath(path), ignored);
}

bool Exists(const std::wstring& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(QXFsPath(path), ignored));
}

// Names compare as the file system tells files apart: one file must not be listed twice.
std::wstring Key(const std::wstring& name) { return qxplat::FileNameKey(name); }

// The same folder when written the same way, "." and ".." segments resolved, letter case
// aside (the launcher writes the folder it was started from, as the installer sees its own).
bool SameFolder(const std::wstring& a, const std::wstring& b) {
    return QXEqualsNoCase(QXFromUtf8(QXFsPath(a).lexically_normal().generic_u8string()),
                          QXFromUtf8(QXFsPath(b).lexically_normal().generic_u8string()));
}

// Why name cannot be installed, or null: the launcher's checks for server-given paths, a
// name that ends in a separator (a folder), and the installation's own bookkeeping.
const wchar_t* UnsafeReason(const std::wstring& name) {
    if (const wchar_t* reason = QXLUnsafeFilePathReason(name))
        return reason;
    if (name.empty() || name == L"--" || name.back() == qxplat::kPathSeparator)
        return L"not a file name";
    if (CQXLInstallJournal::IsReservedName(name))
        return L"reserved name";
    return nullptr;
}

// True when the folders above name, links (symbolic ones, junctions) followed, lie outside
// destination: a Move, Delete or program there would act outside the installation.
bool LeavesInstallation(const std::wstring& destination, const std::wstring& name) {
    std::error_code error;
    const fs::path root = fs::weakly_canonical(QXFsPath(destination + L"."), error);
    const fs::path folder = fs::weakly_canonical(QXFsPath(destination + name).parent_path(), error);
    if (error)
        return true;
    return std::mismatch(root.begin(), root.end(), folder.begin(), folder.end()).first !=
           root.end();
}

// The program and the outcome of one run: its exit code, or nullopt when it could not be
// started or did not end in time.
std::optional<int> RunAndWait(const std::wstring& program, const std::wstring& parameters,
                              CQXLLog& log) {
    std::error_code ignored;
    // Downloaded files carry no execute permission on Linux; Windows has none to set.
    if (IsFile(program))
        fs::permissions(QXFsPath(program),
                        fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                        fs::perm_options::add, ignored);
    std::vector<std::wstring> arguments;
    SplitCommandLine(parameters.c_str(), arguments);
    arguments.insert(arguments.begin(), program);
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!parameters.empty())
        commandLine += L" " + parameters;
    log.LogProduction(L"Running %s", commandLine);
    const auto process = qxplat::StartProcess(commandLine, arguments);
    if (!process) {
        log.LogError(L"Unable to launch %s : %d", program, qxplat::LastError());
        return std::nullopt;
    }
    const auto code = process->WaitForExit(kProgramTimeout);
    if (code)
        log.LogProduction(L"%s ended with exit code %d", program, *code);
    else
        log.LogError(L"%s did not end in time", program);
    return code;
}

} // namespace

CQXInstaller::CQXInstaller(CQXLLog& log, CQXLInstallJournal::Checkpoint checkpoint)
    : m_log(log), m_checkpoint(std::move(checkpoint)) {}

std::wstring CQXInstaller::Install(const std::wstring& programDirectory) {
    const auto lock = qxplat::TryLockFile(CQXLInstallJournal::LockPath(programDirectory));
    if (!lock)
        return L"Another installation is running";
    if (!RecoverInstallationLocked(programDirectory, m_log))
        return L"An earlier installation could not be rolled back";
    const std::wstring file =
        CQXLInstallJournal::TempFolder(programDirectory) + kInstructionFileName;
    CQXInstallerInstructions instructions;
    if (!instructions.Read(file)) {
        m_log.LogError(L"Unable to read the instruction file %s", file);
        return L"Instruction file missing or incomplete";
    }
    // The journal, the backups and the lock belong to the installer's own folder: an
    // instruction file for another installation is not this installer's to apply.
    if (!SameFolder(instructions.destination, programDirectory) ||
        !SameFolder(instructions.source, CQXLInstallJournal::TempFolder(programDirectory))) {
        m_log.LogError(L"Dst %s or Src %s is not the installer's installation %s",
                       instructions.destination, instructions.source, programDirectory);
        return L"Dst or Src is not the installer's installation";
    }
    instructions.destination = programDirectory;
    instructions.source = CQXLInstallJournal::TempFolder(programDirectory);
    m_log.LogProduction(L"Installing %d files of %s into %s", instructions.fileCount,
                        instructions.label, programDirectory);
    std::wstring failure = Check(instructions);
    if (failure.empty())
        failure = Apply(instructions);
    return failure;
}

std::wstring CQXInstaller::Check(const CQXInstallerInstructions& instructions) const {
    if (!instructions.extract.empty())
        return L"Extract is not supported: " + instructions.extract.front().name;
    // A file cut short would otherwise install part of the update: some files new, some old.
    const std::size_t listed = instructions.move.size() + instructions.remove.size() +
                               instructions.registration.size() + instructions.update.size() +
                               instructions.install.size();
    if (instructions.fileCount >= 0 && static_cast<std::size_t>(instructions.fileCount) != listed)
        return QXFormat(L"Instruction file incomplete: NbFile %d, %u entries",
                        instructions.fileCount, listed);
    const NamedSection sections[] = {{L"Move", instructions.move},
                                     {L"Delete", instructions.remove},
                                     {L"Register", instructions.registration},
                                     {L"Update", instructions.update},
                                     {L"Install", instructions.install}};
    for (const NamedSection& section : sections)
        for (const SQXInstallerEntry& entry : section.entries)
            if (const wchar_t* reason = UnsafeReason(entry.name))
                return QXFormat(L"Unsafe name in %s: %s (%s)", section.name, entry.name, reason);
    for (const NamedSection& section : sections)
        for (const SQXInstallerEntry& entry : section.entries)
            if (LeavesInstallation(instructions.destination, entry.name))
                return QXFormat(L"%s leads out of the installation through a link: %s",
                                section.name, entry.name);
    std::set<std::wstring> targets;
    for (const NamedSection& section : {sections[0], sections[1]}) {
        for (const SQXInstallerEntry& entry : section.entries) {
            if (!targets.insert(Key(entry.name)).second)
                return QXFormat(L"Listed twice: %s", entry.name);
            const std::wstring target = instructions.destination + entry.name;
            if (Exists(target) && !IsFile(target))
                return QXFormat(L"%s target is not a file: %s", section.name, entry.name);
        }
    }
    for (const SQXInstallerEntry& entry : instructions.move)
        if (!IsFile(instructions.source + entry.name))
            return QXFormat(L"Source missing: %s", entry.name);
    std::set<std::wstring> moved;
    for (const SQXInstallerEntry& entry : instructions.move)
        moved.insert(Key(entry.name));
    // Programs run once the files are in place: each is moved there or is there already.
    for (const NamedSection& section : {sections[2], sections[3], sections[4]})
        for (const SQXInstallerEntry& entry : section.entries)
            if (moved.count(Key(entry.name)) == 0 &&
                (!IsFile(instructions.destination + entry.name) ||
                 targets.count(Key(entry.name)) != 0))
                return QXFormat(L"%s file missing: %s", section.name, entry.name);
    for (const SQXInstallerEntry& entry : instructions.install)
        if (!InstallCommand(instructions.destination + entry.name))
            return QXFormat(L"Install is not supported on this system: %s", entry.name);
    // The launcher always writes NbFile: a file without it was cut short, however whole the
    // rest looks.
    if (instructions.fileCount < 0)
        return L"Instruction file incomplete: no NbFile";
    return {};
}

std::wstring CQXInstaller::Plan(const CQXInstallerInstructions& instructions,
                                CQXLInstallJournal& journal) {
    std::set<std::wstring> folders;
    std::vector<std::wstring> sources;
    for (const SQXInstallerEntry& entry : instructions.move) {
        for (std::size_t cut = entry.name.find(qxplat::kPathSeparator); cut != std::wstring::npos;
             cut = entry.name.find(qxplat::kPathSeparator, cut + 1)) {
            const std::wstring folder = entry.name.substr(0, cut);
            if (!Exists(instructions.destination + folder) && folders.insert(folder).second)
                journal.Add(CQXLInstallJournal::Change::Folder, folder);
        }
        const bool replaced = Exists(instructions.destination + entry.name);
        journal.Add(replaced ? CQXLInstallJournal::Change::Replace
                             : CQXLInstallJournal::Change::Create,
                    entry.name);
        // Flushing needs write access, which a read-only copy refuses on Windows; it takes
        // the replaced file's permissions when it goes into place.
        std::error_code ignored;
        fs::permissions(QXFsPath(instructions.source + entry.name), fs::perms::owner_write,
                        fs::perm_options::add, ignored);
        sources.push_back(instructions.source + entry.name);
    }
    // The copies on disk must be whole before the journal promises them.
    if (!qxplat::FlushChangesToDisk(instructions.source, sources))
        return QXFormat(L"Source cannot be flushed: %s", instructions.source);
    for (const SQXInstallerEntry& entry : instructions.remove) {
        if (Exists(instructions.destination + entry.name))
            journal.Add(CQXLInstallJournal::Change::Delete, entry.name);
        else
            m_log.LogInfo(L"%s is already absent", entry.name);
    }
    return {};
}

std::wstring CQXInstaller::Apply(const CQXInstallerInstructions& instructions) {
    CQXLInstallJournal journal(instructions.destination);
    std::wstring failure = Plan(instructions, journal);
    if (!failure.empty())
        return failure;
    if (!journal.Write(m_log))
        return L"Journal cannot be written";
    m_checkpoint(L"journal");
    if (journal.Apply(m_log, m_checkpoint, failure)) {
        failure = RunPrograms(instructions);
        if (failure.empty() && !journal.Commit(m_log, m_checkpoint))
            failure = L"Journal cannot be committed";
    }
    if (!failure.empty()) {
        if (!journal.RollBack(m_log, m_checkpoint))
            failure += L"; restore incomplete, retried at the next start";
        return failure;
    }
    journal.Finish(m_log, m_checkpoint);
    m_log.LogProduction(L"Installation done");
    return {};
}

std::wstring CQXInstaller::RunPrograms(const CQXInstallerInstructions& instructions) {
    const std::wstring& destination = instructions.destination;
    for (const SQXInstallerEntry& entry : instructions.registration) {
        const auto command = RegisterCommand(destination + entry.name);
        if (!command) {
            m_log.LogProduction(L"Register %s : nothing to do on this system", entry.name);
            continue;
        }
        const auto code = RunAndWait(command->program, command->parameters, m_log);
        if (code != 0)
            return QXFormat(L"Register failed: %s", entry.name);
        m_checkpoint(L"register");
    }
    for (const SQXInstallerEntry& entry : instructions.update) {
        const auto code = RunAndWait(destination + entry.name, entry.parameters, m_log);
        if (!code)
            return QXFormat(L"Update did not run: %s", entry.name);
        if (*code != 0)
            return QXFormat(L"Update failed: %s (exit code %d)", entry.name, *code);
        m_checkpoint(L"update");
    }
    for (const SQXInstallerEntry& entry : instructions.install) {
        const auto command = InstallCommand(destination + entry.name);
        const auto code = RunAndWait(command->program, command->parameters, m_log);
        if (code != 0)
            return QXFormat(L"Install failed: %s", entry.name);
        m_checkpoint(L"install");
    }
    return {};
}
