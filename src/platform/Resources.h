#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// What the program carries inside itself: its version and its string table.
namespace qxplat {

// The four 16-bit parts of the program's file version (most significant first). Windows reads
// the version resource; Linux gives the same version, compiled in. nullopt when unreadable.
std::optional<std::array<std::uint16_t, 4>> ProgramFileVersion();

// The text of string id from the program's string table; nullopt when the table has none.
// Windows loads the STRINGTABLE resource; Linux reads the same table compiled in.
std::optional<std::wstring> LoadText(unsigned id);

} // namespace qxplat
