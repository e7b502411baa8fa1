#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "log/QXLLog.h"

// The record of one installation into a destination directory, so that the installation is
// always wholly old or wholly new. It lists every change before the first one is made and is
// forced to the disk: folders to create, files to replace or create from the source (temp)
// directory (always the destination's _QXLTmp folder), files to delete. Replaced and deleted files
// are first renamed into a backup folder of the destination, then the new files renamed into place.
// Once the caller has done everything else it needs (programs to run), Commit marks the
// installation done.
//
// A journal that a killed installation left behind is settled by RecoverInstallation: one
// that was committed is finished (backups and temp directory removed), any other rolled back
// (old files renamed back, new ones moved back to the source directory, new folders removed).
// Every step of both checks what is on disk, so a recovery that is itself killed can be run
// again. Layout under the destination: _QXLBackup/ (journal and backups), qxinstaller.lock.
class CQXLInstallJournal {
public:
    enum class Change {
        Folder,  // a folder of the destination that did not exist
        Replace, // an existing file, replaced by the source's copy
        Create,  // a new file, the source's copy
        Delete,  // an existing file, removed
    };
    struct Entry {
        Change change;
        std::wstring name; // relative to both directories, with this platform's separators
    };
    // Told the name of each step just done ("journal", "folder", "backup", "move", "delete",
    // "commit", "cleanup", and "undo" for each change undone); the installer's tests end the
    // process there.
    using Checkpoint = std::function<void(const wchar_t* step)>;

    // destination ends with the platform's separator; the source is its TempFolder.
    explicit CQXLInstallJournal(const std::wstring& destination);

    // Adds one change; changes are made in the order they were added.
    void Add(Change change, const std::wstring& name);
    const std::vector<Entry>& Entries() const { return m_entries; }
    const std::wstring& Source() const { return m_source; }
    bool IsCommitted() const { return m_committed; }
    // Loaded from a journal with a line that cannot be read or names what the update in the
    // temp folder does not: only the entries before that line are known.
    bool IsDamaged() const { return m_damaged; }

    // Removes what an earlier, settled installation left, then writes the journal and forces
    // it to the disk. False, with an error line: nothing has been changed and nothing may be.
    bool Write(CQXLLog& log);
    // Makes every change in order. False when one failed; failure then names the file and
    // the caller must RollBack.
    bool Apply(CQXLLog& log, const Checkpoint& checkpoint, std::wstring& failure);
    // Marks the installation done, on disk: from here on it is finished, never undone.
    bool Commit(CQXLLog& log, const Checkpoint& checkpoint);
    // After Commit: removes the temp directory, the backups and the journal.
    void Finish(CQXLLog& log, const Checkpoint& checkpoint);
    // Before Commit: undoes every change that was made, newest first, then removes the
    // backups and the journal. False when a file could not be put back; the journal then
    // stays for the next attempt.
    bool RollBack(CQXLLog& log, const Checkpoint& checkpoint);

    // The journal left in destination, or nullopt when there is none. One that cannot be read
    // whole comes damaged (error line), never committed.
    static std::optional<CQXLInstallJournal> Load(const std::wstring& destination, CQXLLog& log);

    // The folder where the launcher puts the new files: destination + "_QXLTmp" + separator.
    static std::wstring TempFolder(const std::wstring& destination);
    static std::wstring BackupFolder(const std::wstring& destination);
    static std::wstring JournalPath(const std::wstring& destination);
    static std::wstring LockPath(const std::wstring& destination);
    // Names an installation may not touch: its own bookkeeping above and the temp directory.
    static bool IsReservedName(const std::wstring& name);

private:
    std::string Serialise() const;
    bool MoveOut(const Entry& entry, const Checkpoint& checkpoint);
    bool MoveIn(const Entry& entry, const Checkpoint& checkpoint);
    bool UndoEntry(const Entry& entry, CQXLLog& log);
    // Undoes every change, newest first; false when a file could not be put back.
    bool Undo(CQXLLog& log, const Checkpoint& checkpoint);
    // Drops the entries from the first whose name is not in update (by NameKey) on: damaged.
    void KeepUpdateEntries(const std::set<std::wstring>& update, CQXLLog& log);
    friend bool RecoverInstallationLocked(const std::wstring&, CQXLLog&);

    std::wstring m_destination;
    std::wstring m_source;
    std::vector<Entry> m_entries;
    bool m_committed = false;
    bool m_damaged = false;
};

// Finishes or rolls back what a killed installation left in destinationDirectory (with its
// trailing separator), so that it is wholly old or wholly new; the launcher calls it at its
// start. A damaged journal is rolled back as far as it can be read, then set aside with its
// backups in _QXLBackup.damaged (error line), so that later updates go on. Leaves everything alone
// while an installer is at work there. False when a journal was found and could not be settled.
bool RecoverInstallation(const std::wstring& destinationDirectory, CQXLLog& log);

// The same for a caller that already holds the installation's lock (TryLockFile on LockPath).
bool RecoverInstallationLocked(const std::wstring& destinationDirectory, CQXLLog& log);
