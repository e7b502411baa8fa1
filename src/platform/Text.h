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

// The platform's 8-bit text for system calls, form bodies and replies: the ANSI code page on
// Windows, UTF-8 on Linux.
std::string ToNarrow(std::wstring_view text);
std::wstring FromNarrow(std::string_view bytes);

} // namespace qxplat

namespace qxplat {

// A text that came in as the platform's 8-bit text (FromNarrow) but was written in Windows
// code page 932 (Japanese): turned back into its bytes and read again as code page 932.
// Characters that the bytes cannot give are left as they came.
std::wstring RedecodeAsCodePage932(std::wstring_view text);

} // namespace qxplat
