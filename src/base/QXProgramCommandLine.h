#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/QXCommandLine.h"

// The command lines of the programs the launcher starts, read on every platform as a Windows
// program's C runtime reads its own: the program up to a blank (space, tab) outside double
// quotes, its quotes dropped and its backslashes kept; then the arguments, separated by blanks
// outside quotes. In an argument 2n backslashes before a double quote stand for n backslashes
// and the quote opens or closes a quoted part, 2n+1 stand for n and a quote of the argument,
// backslashes before anything else stand for themselves, and "" inside a quoted part is a
// quote of the argument.

// The arguments of line, the program first, each with where its text stands.
std::vector<QXArgumentText> QXReadProgramCommandLine(std::wstring_view line);
// The values alone: what a started program receives.
std::vector<std::wstring> QXSplitProgramCommandLine(std::wstring_view line);

// value in double quotes, escaped so that the reader above gives back exactly value.
std::wstring QXQuoteProgramArgument(std::wstring_view value);

// line as it may be logged: the argument after -proxyPassword or -serverPassword is ***.
std::wstring QXMaskProgramCommandLine(const std::wstring& line);

// True when program is the command interpreter or one Windows hands to it (a .cmd or .bat
// file; trailing dots and blanks ignored as the file system ignores them): it reads
// & | < > ^ % anywhere on the line and knows no escaped quote.
bool QXRunsThroughShell(std::wstring_view program);

// A name such as $USERNAME$ and the text it stands for.
struct QXPlaceholder {
    std::wstring_view name;
    std::wstring_view value;
};

// Replaces the placeholders in line, in the order given, each in the result of the previous
// ones (a value holding a later name is expanded again). A value never adds an argument: an
// argument whose replaced text would not read back as its expanded value (a blank outside
// quotes, backslashes before a quote) is written again in quotes. A value no quoting keeps
// inside its argument refuses the whole line: one holding a double quote or a control
// character, or, when throughShell, one of & | < > ^ %. Returns the name of the first refused
// placeholder, line then unchanged; empty when line was expanded.
std::wstring_view QXExpandProgramCommandLine(std::wstring& line,
                                             const std::vector<QXPlaceholder>& placeholders,
                                             bool throughShell);
