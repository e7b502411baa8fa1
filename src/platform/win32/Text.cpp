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
std::string EncodeDirect(std::wstring_view text, unsigned codePage, BOOL* usedDefault) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const DWORD flags = WC_NO_BEST_FIT_CHARS;
    const int n =
        WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, "?", usedDefault);
    if (n <= 0) {
        if (usedDefault != nullptr)
            *usedDefault = TRUE;
        return std::string(text.size(), '?');
    }
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, text.data(), size, out.data(), n, "?", usedDefault);
    return out;
}

// A character the page holds only as a look-alike (it reads back as another one) becomes '?'
// too, and sets missed.
std::string Encode(std::wstring_view text, unsigned codePage, bool& missed) {
    BOOL usedDefault = FALSE;
    std::string out = EncodeDirect(text, codePage, &usedDefault);
    missed = usedDefault != FALSE;
    if (!missed && FromCodePage(out, codePage) == text)
        return out;
    out.clear();
    missed = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        BOOL lacking = FALSE;
        const std::string piece = EncodeDirect(text.substr(i, 1), codePage, &lacking);
        if (!lacking && FromCodePage(piece, codePage) == text.substr(i, 1)) {
            out += piece;
        } else {
            out.push_back('?');
            missed = true;
        }
    }
    return out;
}

} // namespace

unsigned WireCodePage() {
    // CP_THREAD_ACP by its number, for the log lines that name it.
    DWORD codePage = 0;
    const int read =
        GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / 2);
    // A locale without an ANSI code page of its own uses the system's, as CP_THREAD_ACP does.
    return read > 0 && codePage != 0 ? codePage : GetACP();
}

std::string ToCodePage(std::wstring_view text, unsigned codePage) {
    bool missed = false;
    return Encode(text, codePage, missed);
}

bool FitsCodePage(std::wstring_view text, unsigned codePage) {
    bool missed = false;
    Encode(text, codePage, missed);
    return !missed;
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
