#include "platform/Text.h"

#include <windows.h>

namespace qxplat {

void AppendLogText(std::string& out, std::wstring_view text) {
    for (wchar_t c : text)
        out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
}

std::wstring FromLogText(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (char c : bytes)
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return out;
}

std::string ToNarrow(std::wstring_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring FromNarrow(std::string_view bytes) {
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, out.data(), n);
    return out;
}

namespace {

// Without best-fit look-alikes: a character the page lacks becomes '?' as on Linux.
std::string Encode(std::wstring_view text, unsigned codePage, BOOL* usedDefault) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const DWORD flags = WC_NO_BEST_FIT_CHARS;
    const int n =
        WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, "?", usedDefault);
    if (n <= 0)
        return std::string(text.size(), '?');
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, text.data(), size, out.data(), n, "?", usedDefault);
    return out;
}

} // namespace

std::string ToCodePage(std::wstring_view text, unsigned codePage) {
    return Encode(text, codePage, nullptr);
}

bool FitsCodePage(std::wstring_view text, unsigned codePage) {
    BOOL usedDefault = FALSE;
    Encode(text, codePage, &usedDefault);
    return !usedDefault;
}

std::wstring FromCodePage(std::string_view bytes, unsigned codePage) {
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    const int n = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), size, out.data(), n);
    return out;
}

} // namespace qxplat
