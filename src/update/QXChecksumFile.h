#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// How reading a file for its checksum ended.
enum class QXChecksumRead {
    Whole,   // exactly the expected number of bytes, then the end of the file
    Changed, // the file ended early, went on past the expected length or was replaced
    Failed,  // a read failed
};

struct SQXFileChecksum {
    std::uint32_t value = 0; // the checksum of the bytes read
    std::uint64_t bytesRead = 0;
    QXChecksumRead status = QXChecksumRead::Failed;
};

// The checksum of a file's bytes, from file (open at its start, expectedLength bytes long
// when the caller looked). A large file is cut into parts, one per processor up to four, that
// are read and summed at the same time, each on a thread and through a handle of its own
// (opened by path), and the parts' values are joined: the value is that of one pass. When
// path no longer opens, the file is read in one pass through file.
SQXFileChecksum QXChecksumFile(const std::wstring& path, std::FILE* file,
                               std::uint64_t expectedLength);
