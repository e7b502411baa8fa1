#pragma once

#include <cstdint>
#include <string>

// The language base selects the block of the string table: it is added to every text id.
using QXLanguageBase = std::uint16_t;

constexpr QXLanguageBase kQXEnglishBase = 0;
constexpr QXLanguageBase kQXFrenchBase = 10000;
constexpr QXLanguageBase kQXJapaneseBase = 20000;

// The caption of every dialog window and message box.
constexpr unsigned kQXTextCaption = 1;

// The base for a Windows language id: only the primary language (low 8 bits) counts.
QXLanguageBase QXLanguageBaseFor(std::uint16_t languageId);

// The "lang" code sent to the server: "fr", "ja", otherwise "en".
const wchar_t* QXLanguageCode(QXLanguageBase base);
