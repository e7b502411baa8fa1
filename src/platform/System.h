#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

// Process and system facts the launcher needs, on every platform.
namespace qxplat {

// The separator of this platform's paths; directories are held with it at their end.
extern const wchar_t kPathSeparator;

// Full path of the running program, at most 259 characters on Windows; empty on failure,
// with LastError() telling why.
std::wstring ModulePath();

// The process's current directory, with no trailing separator.
std::wstring CurrentDirectory();

// The value of an environment variable of any length; nullopt when it is not set.
std::optional<std::wstring> Environment(const std::wstring& name);

// The user's interface language as a Windows language id (primary language in the low bits).
// Linux maps the first set of LC_ALL, LC_MESSAGES and LANG: "fr..." French, "ja..." Japanese,
// anything else English.
std::uint16_t UserUILanguage();

unsigned long CurrentThreadId();
unsigned long CurrentProcessId();

// The calling thread's last system error (GetLastError or errno).
unsigned long LastError();

// Local broken-down time of t; false when it cannot be converted.
bool LocalTime(std::time_t t, std::tm& out);

} // namespace qxplat
