#pragma once

#include <string>

#include "base/QXLanguage.h"

// The string table in the user's language: the system tells the language, the program's own
// table holds the texts.

// The base of the user's interface language.
QXLanguageBase QXChooseLanguageBase();

// Text n of the base's block; empty when the table holds none.
std::wstring QXLoadText(QXLanguageBase base, unsigned n);
