#pragma once

#include <optional>
#include <string_view>

// The launcher's string table as compiled into the program, from QXTexts.def: the same texts
// the Windows build carries as its STRINGTABLE resource.

struct QXTextEntry {
    unsigned id;
    const wchar_t* text;
};

// Every entry, sorted by id.
const QXTextEntry* QXTextTableBegin();
const QXTextEntry* QXTextTableEnd();

// The text of id; nullopt when the table has none.
std::optional<std::wstring_view> QXFindCompiledText(unsigned id);
