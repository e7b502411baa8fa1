#pragma once

#include <string>

// Starting a program once at the user's next logon: the current user's RunOnce registry value
// on Windows, an XDG autostart entry on Linux.
namespace qxplat {

enum class RunOnceResult {
    Written,
    PlaceFailed, // the RunOnce key, or the autostart folder, could not be opened or created
    EntryFailed, // the value, or the autostart entry, could not be written
};

// Registers program (a full path, started without arguments) under name, replacing an entry
// of that name. On failure error receives the system's error code.
// Windows: HKCU\Software\Microsoft\Windows\CurrentVersion\Runonce, value name = the REG_SZ
// program path. Linux: $XDG_CONFIG_HOME/autostart (default ~/.config/autostart)/name.desktop,
// whose command first removes the entry itself and then runs the program, so that it runs
// once even when it fails or restarts the machine.
RunOnceResult SetRunOnceEntry(const std::wstring& name, const std::wstring& program,
                              unsigned long& error);

// The file name of one of our programs on this platform: base + ".exe" on Windows, base on
// Linux.
std::wstring ProgramFileName(const std::wstring& base);

} // namespace qxplat
