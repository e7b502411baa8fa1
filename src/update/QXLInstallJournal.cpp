#include "update/QXLInstallJournal.h"

#include <cwctype>
#include <filesystem>
#include <set>

#include "base/QXText.h"
#include "platform/DurableFiles.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/System.h"
#include "update/QXLSafeName.h"

namespace fs = std::filesystem;

namespace {

constexpr char kHeader[] = "QXLJOURNAL 1";
constexpr char kCommitted[] = "COMMITTED";
constexpr wchar_t kBackupFolderName[] = L"_QXLBackup";
constexpr wchar_t kDamagedFolderName[] = L"_QXLBackup.damaged";
constexpr wchar_t kInstructionFileName[] = L"qxinstaller.txt";
constexpr wchar_t kTempFolderName[] = L"_QXLTmp";
constexpr wchar_t kJournalName[] = L"qxinstaller.journal";
constexpr wchar_t kLockName[] = L"qxinstaller.lock";

struct ChangeCode {
    CQXLInstallJournal::Change change;
    char code;
};
constexpr ChangeCode kCodes[] = {{CQXLInstallJournal::Change::Folder, 'F'},
                                 {CQXLInstallJournal::Change::Replace, 'R'},
                                 {CQXLInstallJournal::Change::Create, 'N'},
                                 {CQXLInstallJournal::Change::Delete, 'X'}};

bool Exists(const std::wstring& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(QXFsPath(path), ignored));
}

std::wstring ParentOf(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(qxplat::kPathSeparator);
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

// Creates the missing folders of path's parent below base. With flush, each is forced to the
// disk in its own parent at once, so that a file renamed into them cannot lose its folder in a
// crash; without, the caller flushes the file system before anything relies on them.
bool MakeParentFolders(const std::wstring& base, const std::wstring& path, bool flush = true) {
    const std::wstring parent = ParentOf(path);
    if (parent.size() < base.size() || Exists(parent))
        return true;
    if (!MakeParentFolders(base, parent, flush))
        return false;
    std::error_code error;
    fs::create_directory(QXFsPath(parent), error);
    return !error && (!flush || qxplat::FlushFolderToDisk(ParentOf(parent)));
}

// Removes a folder with everything in it, read-only files included (Windows refuses to delete
// those, and an installation may well replace or delete one). True when it is gone.
bool RemoveTree(const std::wstring& folder) {
    const fs::path root = QXFsPath(folder);
    std::error_code error;
    if (!fs::exists(fs::symlink_status(root, error)))
        return true;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, error);
    fs::remove_all(root, error);
    return !fs::exists(fs::symlink_status(root, error));
}

std::wstring LastErrorText() { return QXFormat(L"error %d", qxplat::LastError()); }

std::wstring NameKey(const std::wstring& name) {
    std::wstring key = name;
    for (wchar_t& c : key)
        c = c == L'/' || c == L'\\' ? qxplat::kPathSeparator
                                    : static_cast<wchar_t>(std::towlower(c));
    return key;
}

// What the update in the temp folder may touch, by NameKey: the files its instruction file
// moves or deletes and the folders above the moved ones. Empty without an instruction file.
std::set<std::wstring> UpdateSet(const std::wstring& destination) {
    std::set<std::wstring> names;
    qxplat::ReadIniSections(
        CQXLInstallJournal::TempFolder(destination) + kInstructionFileName, {L"Move", L"Delete"},
        [&names](std::size_t section, const std::wstring& key,
                 const std::optional<std::wstring>& value) {
            if (!value || NameKey(key).rfind(L"file", 0) != 0)
                return;
            const std::wstring name = NameKey(*value);
            names.insert(name);
            for (std::size_t cut = name.find(qxplat::kPathSeparator);
                 section == 0 && cut != std::wstring::npos;
                 cut = name.find(qxplat::kPathSeparator, cut + 1))
                names.insert(name.substr(0, cut));
        },
        4096);
    return names;
}

// Keeps a journal that cannot be trusted, with the backups beside it, for a person to look
// at, out of the way of the next installation.
void SetAside(const std::wstring& destination, CQXLLog& log) {
    const std::wstring backups = CQXLInstallJournal::BackupFolder(destination);
    const std::wstring damaged = destination + kDamagedFolderName;
    std::error_code error;
    RemoveTree(damaged);
    fs::rename(QXFsPath(backups.substr(0, backups.size() - 1)), QXFsPath(damaged), error);
    log.LogError(L"Installation journal set aside in %s", damaged);
}

} // namespace

CQXLInstallJournal::CQXLInstallJournal(const std::wstring& destination)
    : m_destination(destination), m_source(TempFolder(destination)) {}

std::wstring CQXLInstallJournal::TempFolder(const std::wstring& destination) {
    return destination + kTempFolderName + qxplat::kPathSeparator;
}

std::wstring CQXLInstallJournal::BackupFolder(const std::wstring& destination) {
    return destination + kBackupFolderName + qxplat::kPathSeparator;
}

std::wstring CQXLInstallJournal::JournalPath(const std::wstring& destination) {
    return BackupFolder(destination) + kJournalName;
}

std::wstring CQXLInstallJournal::LockPath(const std::wstring& destination) {
    return destination + kLockName;
}

bool CQXLInstallJournal::IsReservedName(const std::wstring& name) {
    const std::wstring first = name.substr(0, name.find_first_of(L"\\/"));
    return QXEqualsNoCase(first, kBackupFolderName) || QXEqualsNoCase(first, kTempFolderName) ||
           QXEqualsNoCase(first, kDamagedFolderName) || QXEqualsNoCase(name, kLockName);
}

void CQXLInstallJournal::Add(Change change, const std::wstring& name) {
    m_entries.push_back({change, name});
}

std::string CQXLInstallJournal::Serialise() const {
    std::string text = std::string(kHeader) + "\n";
    for (const Entry& entry : m_entries)
        for (const ChangeCode& code : kCodes)
            if (code.change == entry.change)
                text += std::string(1, code.code) + " " + QXToUtf8(entry.name) + "\n";
    if (m_committed)
        text += std::string(kCommitted) + "\n";
    return text;
}

bool CQXLInstallJournal::Write(CQXLLog& log) {
    const std::wstring folder = BackupFolder(m_destination);
    std::error_code error;
    // Backups without a journal are what a settled installation left while removing them.
    // None may stay: a rollback takes every backup it finds for one of its own.
    const bool clean = RemoveTree(folder);
    fs::create_directory(QXFsPath(folder), error);
    if (!clean || error || !qxplat::FlushFolderToDisk(m_destination) ||
        !qxplat::WriteFileDurably(JournalPath(m_destination), Serialise())) {
        log.LogError(L"Unable to write the installation journal %s : %d",
                     JournalPath(m_destination), qxplat::LastError());
        return false;
    }
    return true;
}

// The first pass: new folders, and the files replaced or deleted renamed into the backups.
bool CQXLInstallJournal::MoveOut(const Entry& entry, const Checkpoint& checkpoint) {
    const std::wstring target = m_destination + entry.name;
    const std::wstring backup = BackupFolder(m_destination) + entry.name;
    std::error_code error;
    switch (entry.change) {
    case Change::Folder:
        fs::create_directory(QXFsPath(target), error);
        if (error)
            return false;
        checkpoint(L"folder");
        return true;
    case Change::Replace:
        // The new copy keeps the permissions of the file it replaces (a program stays one).
        qxplat::KeepReplacedMode(target, m_source + entry.name);
        [[fallthrough]];
    case Change::Delete:
        if (!MakeParentFolders(m_destination, backup, false) ||
            !qxplat::RenameInBatch(target, backup))
            return false;
        checkpoint(entry.change == Change::Delete ? L"delete" : L"backup");
        return true;
    case Change::Create:
        return true;
    }
    return false;
}

// The second pass: the new copies renamed into place.
bool CQXLInstallJournal::MoveIn(const Entry& entry, const Checkpoint& checkpoint) {
    if (entry.change != Change::Replace && entry.change != Change::Create)
        return true;
    if (!qxplat::RenameInBatch(m_source + entry.name, m_destination + entry.name))
        return false;
    checkpoint(L"move");
    return true;
}

bool CQXLInstallJournal::Apply(CQXLLog& log, const Checkpoint& checkpoint, std::wstring& failure) {
    // Every old file is safe in the backups, on disk, before the first new one takes its
    // place, and every new one is on disk before the commit: one flush per pass, not per file.
    // A recovery looks at each entry on its own, so any subset of one pass's renames will do.
    for (const auto pass : {&CQXLInstallJournal::MoveOut, &CQXLInstallJournal::MoveIn}) {
        for (const Entry& entry : m_entries) {
            if ((this->*pass)(entry, checkpoint))
                continue;
            const wchar_t* what = entry.change == Change::Delete   ? L"Delete"
                                  : entry.change == Change::Folder ? L"Folder"
                                                                   : L"Move";
            failure = QXFormat(L"%s failed: %s (%s)", what, entry.name, LastErrorText());
            log.LogError(L"%s", failure);
            return false;
        }
        if (!qxplat::FlushChangesToDisk(m_destination, {})) {
            failure = QXFormat(L"Flush failed: %s (%s)", m_destination, LastErrorText());
            log.LogError(L"%s", failure);
            return false;
        }
    }
    return true;
}

bool CQXLInstallJournal::Commit(CQXLLog& log, const Checkpoint& checkpoint) {
    m_committed = true;
    if (!qxplat::WriteFileDurably(JournalPath(m_destination), Serialise())) {
        log.LogError(L"Unable to commit the installation journal : %d", qxplat::LastError());
        // The commit may have reached the disk all the same (only the folder's flush failed):
        // the rollback that follows must not be finished instead by a later recovery.
        m_committed = false;
        qxplat::WriteFileDurably(JournalPath(m_destination), Serialise());
        return false;
    }
    checkpoint(L"commit");
    return true;
}

void CQXLInstallJournal::Finish(CQXLLog& log, const Checkpoint& checkpoint) {
    if (!RemoveTree(m_source))
        log.LogWarning(L"Unable to remove the temporary directory %s", m_source);
    checkpoint(L"cleanup");
    // The journal goes first: backups left by a crash after it are known to be spare.
    std::error_code error;
    fs::remove(QXFsPath(JournalPath(m_destination)), error);
    if (!RemoveTree(BackupFolder(m_destination)))
        log.LogWarning(L"Unable to remove the backups in %s", BackupFolder(m_destination));
}

// Each case looks at the disk first, so that undoing a change twice is harmless.
bool CQXLInstallJournal::UndoEntry(const Entry& entry, CQXLLog& log) {
    const std::wstring target = m_destination + entry.name;
    const std::wstring backup = BackupFolder(m_destination) + entry.name;
    const std::wstring source = m_source + entry.name;
    std::error_code error;
    switch (entry.change) {
    case Change::Folder:
        if (Exists(target) && !fs::remove(QXFsPath(target), error))
            log.LogWarning(L"Folder %s is not empty and stays", target);
        return true;
    case Change::Replace:
    case Change::Create:
        if ((entry.change == Change::Create || Exists(backup)) && Exists(target)) {
            // The new copy goes back where it came from, so that the installation can be
            // tried again; a source that is there already makes it spare.
            const bool putBack = !Exists(source) && MakeParentFolders(m_source, source) &&
                                 qxplat::RenameDurably(target, source);
            if (!putBack && !fs::remove(QXFsPath(target), error))
                return false;
        }
        return entry.change == Change::Create || !Exists(backup) ||
               qxplat::RenameDurably(backup, target);
    case Change::Delete:
        return !Exists(backup) || qxplat::RenameDurably(backup, target);
    }
    return false;
}

bool CQXLInstallJournal::RollBack(CQXLLog& log, const Checkpoint& checkpoint) {
    if (!Undo(log, checkpoint))
        return false;
    std::error_code error;
    fs::remove(QXFsPath(JournalPath(m_destination)), error);
    RemoveTree(BackupFolder(m_destination));
    return true;
}

bool CQXLInstallJournal::Undo(CQXLLog& log, const Checkpoint& checkpoint) {
    bool restored = true;
    for (auto entry = m_entries.rbegin(); entry != m_entries.rend(); ++entry) {
        if (!UndoEntry(*entry, log)) {
            log.LogError(L"Unable to restore %s : %d", m_destination + entry->name,
                         qxplat::LastError());
            restored = false;
        }
        checkpoint(L"undo");
    }
    return restored;
}

std::optional<CQXLInstallJournal> CQXLInstallJournal::Load(const std::wstring& destination,
                                                           CQXLLog& log) {
    std::string bytes;
    if (!qxplat::ReadWholeFile(JournalPath(destination), bytes))
        return std::nullopt;
    CQXLInstallJournal journal(destination);
    std::size_t start = 0;
    bool valid = bytes.compare(0, sizeof kHeader, std::string(kHeader) + "\n") == 0;
    bool committed = false;
    for (std::size_t end; valid && (end = bytes.find('\n', start)) != std::string::npos;
         start = end + 1) {
        const std::string line = bytes.substr(start, end - start);
        if (start == 0)
            continue;
        if (line == kCommitted) {
            committed = true;
            continue;
        }
        const std::wstring value = line.size() > 2 ? QXFromUtf8(line.substr(2)) : std::wstring();
        valid = line.size() > 2 && line[1] == ' ' && !committed;
        // A journal is only ever written by the installer, but its names are checked again
        // as the instruction file's were: nothing outside the two directories is touched,
        // and nothing that the update in the temp folder does not name.
        valid = valid && QXLUnsafeFilePathReason(value) == nullptr && !IsReservedName(value);
        bool known = false;
        for (const ChangeCode& code : kCodes)
            if (valid && code.code == line[0]) {
                journal.Add(code.change, value);
                known = true;
            }
        valid = known;
    }
    // A damaged journal is never finished: what it still names is undone.
    journal.m_damaged = !valid || start != bytes.size();
    journal.m_committed = committed && !journal.m_damaged;
    if (!journal.m_committed)
        journal.KeepUpdateEntries(UpdateSet(destination), log);
    if (journal.m_damaged)
        log.LogError(L"Installation journal %s cannot be read whole", JournalPath(destination));
    return journal;
}

// A rollback undoes only what the update in the temp folder names (a committed journal is
// finished, which touches no named file): the entries from the first other one on are left.
void CQXLInstallJournal::KeepUpdateEntries(const std::set<std::wstring>& update, CQXLLog& log) {
    for (auto entry = m_entries.begin(); entry != m_entries.end(); ++entry) {
        if (update.count(NameKey(entry->name)) != 0)
            continue;
        log.LogError(L"Installation journal entry %s is not part of the update", entry->name);
        m_entries.erase(entry, m_entries.end());
        m_damaged = true;
        return;
    }
}

bool RecoverInstallationLocked(const std::wstring& destinationDirectory, CQXLLog& log) {
    if (!Exists(CQXLInstallJournal::JournalPath(destinationDirectory))) {
        RemoveTree(CQXLInstallJournal::BackupFolder(destinationDirectory));
        return true;
    }
    auto journal = CQXLInstallJournal::Load(destinationDirectory, log);
    if (!journal)
        return false;
    if (journal->IsDamaged()) {
        log.LogWarning(L"Rolling back what can be read of the journal left in %s",
                       destinationDirectory);
        const bool restored = journal->Undo(log, [](const wchar_t*) {});
        SetAside(destinationDirectory, log);
        return restored;
    }
    if (journal->IsCommitted()) {
        log.LogWarning(L"Finishing the installation that an earlier run left in %s",
                       destinationDirectory);
        journal->Finish(log, [](const wchar_t*) {});
        return true;
    }
    log.LogWarning(L"Rolling back the installation that an earlier run left in %s",
                   destinationDirectory);
    return journal->RollBack(log, [](const wchar_t*) {});
}

bool RecoverInstallation(const std::wstring& destinationDirectory, CQXLLog& log) {
    if (!Exists(CQXLInstallJournal::JournalPath(destinationDirectory)))
        return true;
    const auto lock = qxplat::TryLockFile(CQXLInstallJournal::LockPath(destinationDirectory));
    if (!lock) {
        log.LogWarning(L"An installer is at work in %s; its journal is left to it",
                       destinationDirectory);
        return true;
    }
    return RecoverInstallationLocked(destinationDirectory, log);
}
