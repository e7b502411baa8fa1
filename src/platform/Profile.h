#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// INI profile files with the Windows profile functions' results on every platform:
// section and key names match without regard to case, values come back with blanks trimmed
// and one pair of enclosing quotes removed, and the first matching section and key win.
namespace qxplat {

// The value of key, or fallback when the file, section or key is absent. At most
// capacity - 1 characters come back, as with a buffer of capacity characters.
std::wstring ReadIniString(const std::wstring& file, const std::wstring& section,
                           const std::wstring& key, const std::wstring& fallback,
                           std::size_t capacity = 1024);

// The leading decimal digits of the value (after blanks and one sign), 0 when there are none;
// fallback when the key is absent or its value empty.
int ReadIniInt(const std::wstring& file, const std::wstring& section, const std::wstring& key,
               int fallback);

// Called by ReadIniSections for each key line: the index of its section in the names asked
// for, the key as written (trimmed), and the value as ReadIniString gives it (nullopt for a
// line without "=", which ReadIniString reads as absent).
using IniKeyVisitor = std::function<void(std::size_t section, const std::wstring& key,
                                         const std::optional<std::wstring>& value)>;

// One pass over a profile file for a reader that asks for many keys: visits, in file order
// within each section, every key line of the first section of each name in sections (duplicate keys
// included: the first is the one ReadIniString finds). Values are cut to capacity - 1 characters as
// ReadIniString cuts them; key lines whose name is longer than that are skipped. False when
// the file cannot be read.
bool ReadIniSections(const std::wstring& file, const std::vector<std::wstring>& sections,
                     const IniKeyVisitor& visit, std::size_t capacity = 1024);

// Sets one key, keeping every other line; creates the file and the section as needed.
bool WriteIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    const std::wstring& value);

// Replaces every line of the section with lines ("key=value" each); creates what is missing.
bool WriteIniSection(const std::wstring& file, const std::wstring& section,
                     const std::vector<std::wstring>& lines);

} // namespace qxplat
