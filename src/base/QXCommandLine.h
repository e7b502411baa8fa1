#pragma once

#include <string>
#include <vector>

// The launcher's command-line options; names are compared exactly.
inline constexpr wchar_t kQXOptionSession[] = L"-SID:";
inline constexpr wchar_t kQXOptionProxyLogin[] = L"-proxyLogin";
inline constexpr wchar_t kQXOptionProxyPassword[] = L"-proxyPassword";
inline constexpr wchar_t kQXOptionServerLogin[] = L"-serverLogin";
inline constexpr wchar_t kQXOptionServerPassword[] = L"-serverPassword";

// Replaces arguments with the arguments of text (null: none). Blanks (tab, line feed,
// vertical tab, carriage return, space) separate arguments. A plain argument keeps every
// other character as it is, quotes and backslashes included. A double quote at the start of
// an argument opens a quoted one, which the next double quote closes (even when it is empty);
// inside it \" stands for ", any other backslash stands for itself, and a backslash that ends
// the text is kept and ends the argument.
void SplitCommandLine(const wchar_t* text, std::vector<std::wstring>& arguments);

// Joins arguments into one command line that SplitCommandLine reads back into the same
// arguments: the form a Windows program receives, built on platforms that pass argv. Only an
// argument that is empty, holds a blank or begins with a double quote is quoted. The splitter
// gives no quoted form to a backslash just before a double quote of the argument, nor to one
// at its end unless it is the last argument (its closing quote is then left out): such an
// argument needs quotes yet cannot come back unchanged, so callers holding a list hand the
// list itself on (CQXLauncherApp::Run).
std::wstring QXJoinCommandLine(const std::vector<std::wstring>& arguments);

// The command line as it may be logged: the argument after -proxyPassword or -serverPassword
// (in any letter case), quotes included, becomes ***; every other character stays as it is.
std::wstring QXMaskCommandLineSecrets(const std::wstring& commandLine);

// One argument of a command line: its value, and where its text stands, quotes included.
struct QXArgumentText {
    std::wstring value;
    std::size_t begin;
    std::size_t end;
};
// line with the text of each argument that follows -proxyPassword or -serverPassword (in any
// letter case) replaced by ***; arguments are line's, as its reader split it.
std::wstring QXMaskSecrets(const std::wstring& line, const std::vector<QXArgumentText>& arguments);
// arguments with each one that follows -proxyPassword or -serverPassword (in any letter case)
// replaced by ***: a list is masked before it is joined, since a joined line cannot always be
// split back into the same arguments.
std::vector<std::wstring> QXMaskSecretArguments(std::vector<std::wstring> arguments);
