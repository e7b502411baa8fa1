#include "platform/Resources.h"

#include <vector>
#include <windows.h>

namespace qxplat {

std::optional<std::array<std::uint16_t, 4>> ProgramFileVersion() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<unsigned char> block(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!GetFileVersionInfoW(path, 0, size, block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) ||
        infoSize < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    return std::array<std::uint16_t, 4>{
        HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
        LOWORD(info->dwFileVersionLS)};
}

std::optional<std::wstring> LoadText(unsigned id) {
    const wchar_t* text = nullptr;
    // With a zero size LoadStringW hands back a pointer into the resource itself.
    const int length =
        LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr)
        return std::nullopt;
    return std::wstring(text, static_cast<std::size_t>(length));
}

} // namespace qxplat
