#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

// File changes that survive a crash or a power cut once they have returned true: what an
// installation needs to stay either wholly old or wholly new. Failures leave LastError() set.
namespace qxplat {

// Forces a folder's entries (names created, renamed or removed in it) to the disk. Windows
// keeps them with the change itself (write-through), so there it only checks the folder.
bool FlushFolderToDisk(const std::wstring& folder);

// Replaces path with bytes in one step: a temporary file beside it is written and flushed,
// then renamed over path, and the folder flushed. Readers see the old or the new contents.
bool WriteFileDurably(const std::wstring& path, const std::string& bytes);

// Renames from to to in one step, replacing an existing to (on the same volume only), and
// forces the change to the disk (both folders on Linux).
bool RenameDurably(const std::wstring& from, const std::wstring& to);

// Renames from to to, replacing an existing to (on the same volume only), without waiting for
// the disk on Linux: the change is durable once FlushChangesToDisk has returned for a folder of
// that file system. Windows, where a user cannot flush a whole volume, writes it through at once.
bool RenameInBatch(const std::wstring& from, const std::wstring& to);

// Forces to the disk the contents of files and every change of names made so far on the file
// system that holds folder. Linux does it in one pass over that file system; Windows flushes
// each file (its renames were written through as they were made).
bool FlushChangesToDisk(const std::wstring& folder, const std::vector<std::wstring>& files);

// An exclusive lock on a file, held until the object goes; the file is created if needed.
// Another process that asks for the same lock in the meantime is refused.
class FileLock {
public:
    struct Handle;
    explicit FileLock(std::unique_ptr<Handle> handle);
    FileLock(FileLock&&) noexcept;
    FileLock& operator=(FileLock&&) noexcept;
    ~FileLock();

private:
    std::unique_ptr<Handle> m_handle;
};

// The lock on path, or nullopt when another process holds it or the file cannot be opened.
std::optional<FileLock> TryLockFile(const std::wstring& path);

} // namespace qxplat
