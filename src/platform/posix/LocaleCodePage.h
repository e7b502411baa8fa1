#pragma once

#include <string_view>

namespace qxplat {

// The ANSI code page that Windows assigns to the language (and, for Chinese and Serbian, the
// territory or script) of a POSIX locale name such as "pl_PL.UTF-8"; 1252 for one it does
// not know, "C" and "POSIX" included.
unsigned CodePageOfLocale(std::string_view locale);

} // namespace qxplat
