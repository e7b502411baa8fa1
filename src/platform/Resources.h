#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What the program carries inside itself: its version, its string table and its pictures.
namespace qxplat {

// The four 16-bit parts of the program's file version (most significant first). Windows reads
// the version resource; Linux gives the same version, compiled in. nullopt when unreadable.
std::optional<std::array<std::uint16_t, 4>> ProgramFileVersion();

// The text of string id from the program's string table; nullopt when the table has none.
// Windows loads the STRINGTABLE resource; Linux reads the same table compiled in.
std::optional<std::wstring> LoadText(unsigned id);

// The built-in splash picture (bitmap 132): the whole 24-bit BMP file, 506 x 388 pixels.
// The bytes live as long as the program.
std::string_view BuiltInSplashBitmap();

// The application icon (icon 116): the whole ICO file, 32 x 32 pixels in 8 and 32 bits.
std::string_view BuiltInIcon();

} // namespace qxplat
