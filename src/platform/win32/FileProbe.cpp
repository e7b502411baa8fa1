#include "platform/FileProbe.h"

#include <io.h>
#include <windows.h>

namespace qxplat {

WriteProbe ProbeExclusiveWrite(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return WriteProbe::Writable;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? WriteProbe::Missing
                                                                          : WriteProbe::Locked;
}

std::int64_t OpenFileLength(std::FILE* file) {
    if (file == nullptr)
        return -1;
    LARGE_INTEGER size;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle, &size))
        return -1;
    return static_cast<std::int64_t>(size.QuadPart);
}

bool SeekOpenFile(std::FILE* file, std::int64_t offset) {
    return file != nullptr && offset >= 0 && _fseeki64(file, offset, SEEK_SET) == 0;
}

} // namespace qxplat
