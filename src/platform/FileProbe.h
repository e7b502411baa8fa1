#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// File facts beyond opening one: whether another process keeps a file from being replaced,
// and the length of an open file and a place in it.
namespace qxplat {

enum class WriteProbe {
    Writable, // the file exists and could be opened for writing now
    Missing,  // neither the file nor (perhaps) its folder exists
    Locked,   // it exists but may not be written: in use, read-only, access denied...
};

// Opens the existing file for writing, sharing read and write with others, and closes it at
// once; never creates, truncates or changes it. Windows reads ERROR_FILE_NOT_FOUND and
// ERROR_PATH_NOT_FOUND as missing; Linux ENOENT and ENOTDIR (a running program gives
// ETXTBSY, which is locked like every other refusal).
WriteProbe ProbeExclusiveWrite(const std::wstring& path);

// The length in bytes of an open file (64 bits on every platform); -1 when it is unknown.
std::int64_t OpenFileLength(std::FILE* file);

// Moves an open file to offset bytes from its start (64 bits on every platform); false when
// it cannot.
bool SeekOpenFile(std::FILE* file, std::int64_t offset);

} // namespace qxplat
