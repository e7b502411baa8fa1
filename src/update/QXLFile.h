#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "log/QXLLog.h"

// What must be done with one file of the application, as the server's list gives it.
enum QXLFileMode : int {
    ModeNone = 0,    // no action, never downloaded
    ModeDelta = 1,   // replace when size or checksum differ
    ModeCreate = 2,  // download only when missing; never overwrite
    ModeDelete = 3,  // delete the installed file when it exists
    ModeUpdate = 4,  // replace when different, and have the installer run it with Parameters
    ModeInstall = 5, // replace when different, have the installer install it, then reboot
    ModeUpdateUnchanged = 104, // a current ModeUpdate file: run again only along other downloads
};

// One file of the application's file set and the comparison of its installed copy with the
// server's row. Lives, once on a list, until the process ends; used by the worker thread.
class CQXLFile {
public:
    explicit CQXLFile(CQXLLog& log) : m_log(log) {}
    virtual ~CQXLFile() = default;

    // Fills the record and writes its production log line (with the path as received). The
    // path "--" means none; any other path gets the platform's separators and one at its end.
    // Without a server path, the server path is the normalised path.
    void SetFile(const std::wstring& name, std::uint32_t checksum, std::int32_t size, int mode,
                 int isActiveX, int hasToBeLaunched, const std::wstring& path,
                 const std::optional<std::wstring>& serverPath = std::nullopt);

    // 1 when directory + path + name has the expected size and checksum, else 0; each outcome
    // is logged. Reads in 64 KiB blocks.
    int IsUpToDate(const std::wstring& directory);

    // 1 when directory + path + name can be opened for reading, else 0; deleteFlag chooses
    // the wording of the log line (a file to delete or a file to create).
    int TestExists(const std::wstring& directory, bool deleteFlag);

    // Whether the installed copy under directory calls for an action, by mode. A current
    // ModeUpdate file still does, but becomes ModeUpdateUnchanged.
    bool NeedsAction(const std::wstring& directory);

    // 1 the first time, when it sets Handled; 0 once it was already handled.
    int MarkHandled();

    const std::wstring& FileName() const { return m_fileName; }
    const std::wstring& FilePath() const { return m_filePath; }
    const std::wstring& ServerPath() const { return m_serverPath; }
    std::uint32_t FileChecksum() const { return m_fileChecksum; }
    std::int32_t FileSize() const { return m_fileSize; }
    int FileMode() const { return m_fileMode; }
    int IsActiveX() const { return m_isActiveX; }
    int HasToBeLaunched() const { return m_hasToBeLaunched; }
    int Handled() const { return m_handled; }
    const std::wstring& Parameters() const { return m_parameters; }
    void SetParameters(const std::wstring& parameters) { m_parameters = parameters; }
    // The SHA-256 (hex) a signed list gives; empty when the list gives none.
    const std::wstring& Sha256() const { return m_sha256; }
    void SetSha256(const std::wstring& sha256) { m_sha256 = sha256; }
    // Whether the copy must be able to run as a program: as the list says, or, from a list
    // that does not say, when its first bytes are those of a program (head: at least the
    // first four bytes of the file, or all of a shorter one).
    bool IsProgram(std::string_view head) const;
    void SetExecutable(int executable) { m_executable = executable; }

    // FilePath followed by FileName: the name relative to the installation directory.
    std::wstring RelativeName() const { return m_filePath + m_fileName; }

private:
    void KeepRunnable(const std::wstring& path, std::FILE* file);

    std::wstring m_fileName;
    std::wstring m_filePath;
    std::wstring m_serverPath;
    std::uint32_t m_fileChecksum = 0;
    std::int32_t m_fileSize = 0;
    int m_fileMode = ModeNone;
    CQXLLog& m_log;
    int m_isActiveX = 0;
    int m_hasToBeLaunched = 0;
    int m_handled = 0;
    std::wstring m_parameters;
    std::wstring m_sha256;
    int m_executable = -1; // 1, 0, or -1 when the list does not say
};
