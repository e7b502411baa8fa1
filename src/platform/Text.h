#pragma once

#include <string>
#include <string_view>

// Conversions at the edge between the program's wide text and the 8-bit text of its files.
namespace qxplat {

// Appends text as the log's 8-bit text. Windows narrows as the C runtime's default conversion
// does: code units 0-255 become the byte of the same value, anything else '?'. Linux writes
// UTF-8, the locale's charset, so that ASCII stays byte for byte the same.
void AppendLogText(std::string& out, std::wstring_view text);

// Reads 8-bit file text back the way AppendLogText writes it.
std::wstring FromLogText(std::string_view bytes);

} // namespace qxplat

namespace qxplat {

// The platform's 8-bit text for system calls and local files: the ANSI code page on Windows,
// UTF-8 on Linux. What goes over the wire uses ToCodePage and FromCodePage instead.
std::string ToNarrow(std::wstring_view text);
std::wstring FromNarrow(std::string_view bytes);

} // namespace qxplat

namespace qxplat {

// The server protocol's text: a Windows ANSI code page, the same bytes on every platform.

// The code page that form bodies, replies and cookies travel in: the calling thread's ANSI code
// page on Windows; on Linux the one Windows assigns to the user's locale (LC_ALL, LC_CTYPE or
// LANG), so that both send alike in one locale.
unsigned WireCodePage();

// text in the code page; a character that the page cannot hold exactly becomes '?' (no
// best-fit look-alike, so that both platforms send the same bytes).
std::string ToCodePage(std::wstring_view text, unsigned codePage);

// True when every character of text has an exact place in the code page, so that ToCodePage
// sends it unaltered and it reads back the same.
bool FitsCodePage(std::wstring_view text, unsigned codePage);

// bytes of the code page as text. A byte that a single-byte page leaves undefined gives the
// character of the same value; an invalid sequence in 932 gives U+30FB, as Windows does.
std::wstring FromCodePage(std::string_view bytes, unsigned codePage);

} // namespace qxplat
