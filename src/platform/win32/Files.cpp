#include "platform/Files.h"

#include <share.h>
#include <windows.h>

namespace qxplat {

FilePtr OpenShared(const std::wstring& path, const char* mode) {
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return FilePtr(_wfsopen(path.c_str(), wideMode.c_str(), _SH_DENYNO));
}

bool MakeDirectory(const std::wstring& path) {
    return CreateDirectoryW(path.c_str(), nullptr) != 0;
}

} // namespace qxplat
