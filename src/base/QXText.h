#pragma once

#include <string_view>

// True when a and b hold the same text ignoring letter case, over their whole length: the
// comparison of configuration words, server URLs and file names.
bool QXEqualsNoCase(std::wstring_view a, std::wstring_view b);

// True when id can stand on any command line as it is, a command interpreter's included: not
// empty, and only ASCII letters, digits and - . _ ~ + / = (what base64 and URL-safe tokens use).
bool QXIsSafeSessionId(std::wstring_view id);

#include <string>

// The program's wide text as UTF-8 and back, the same on every platform (UTF-16 or UTF-32
// inside): for files that must keep any name exactly, whatever the code page. Invalid input
// becomes U+FFFD.
std::string QXToUtf8(std::wstring_view text);
std::wstring QXFromUtf8(std::string_view bytes);

// The value of a hexadecimal digit in either letter case, -1 for any other character.
int QXHexDigit(char c);

#include <filesystem>

// The file system's path for a name, and the name of a path. The standard library's own
// conversion between wide text and a Linux path knows only ASCII; through UTF-8 every name
// survives on both platforms.
std::filesystem::path QXFsPath(std::wstring_view name);
std::wstring QXFsName(const std::filesystem::path& path);
