#include "platform/Files.h"

#include <cwctype>
#include <filesystem>
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

std::wstring FileNameKey(const std::wstring& name) {
    std::wstring key = name;
    for (wchar_t& c : key)
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    return key;
}

// Every file may run; what runs is chosen by its name.
bool MakeExecutable(const std::wstring&) { return true; }

void KeepReplacedMode(const std::wstring& replaced, const std::wstring& copy) {
    std::error_code error;
    const auto permissions = std::filesystem::status(replaced, error).permissions();
    if (!error)
        std::filesystem::permissions(copy, permissions, error);
}

} // namespace qxplat
