#pragma once

#include <memory>
#include <optional>
#include <string>

// File changes that survive a crash or a power cut once they have returned true: what an
// installation needs to stay either wholly old or wholly new. Failures leave LastError() set.
namespace qxplat {

// Forces a file's contents to the disk.
bool FlushFileToDisk(const std::wstring& path);

// Forces a folder's entries (names created, renamed or removed in it) to the disk. Windows
// keeps them with the change itself (write-through), so there it only checks the folder.
bool FlushFolderToDisk(const std::wstring& folder);

// Replaces path with bytes in one step: a temporary file beside it is written and flushed,
// then renamed over path, and the folder flushed. Readers see the old or the new contents.
bool WriteFileDurably(const std::wstring& path, const std::string& bytes);

// Renames from to to in one step, replacing an existing to (on the same volume only), and
// forces the change to the disk (both folders on Linux).
bool RenameDurably(const std::wstring& from, const std::wstring& to);

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
