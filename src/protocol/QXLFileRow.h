#pragma once

#include <cstdint>
#include <string>

// One row of the GetAppChecksum reply: a file of the application as the server lists it.
// A column the reply does not send keeps the value given here.
struct CQXLFileRow {
    std::wstring FileName;
    std::int32_t FileSize = 0;
    std::uint32_t FileChecksum = 0;
    int FileMode = 0;
    int IsActiveX = 0;
    int HasToBeLaunched = 0;
    std::wstring Parameters;
    std::wstring FilePath;
    // The file's SHA-256 in hex, sent by sites that sign their lists; empty otherwise.
    std::wstring FileSha256;
    // 1 when the server's copy may run as a program, 0 when not, -1 from a server that does
    // not say.
    int FileExecutable = -1;
};
