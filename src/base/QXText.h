#pragma once

#include <string_view>

// True when a and b hold the same text ignoring letter case, over their whole length: the
// comparison of configuration words, server URLs and file names.
bool QXEqualsNoCase(std::wstring_view a, std::wstring_view b);

// True when id can stand on a command line as it is: not empty, no blank, double quote or
// control character.
bool QXIsSafeSessionId(std::wstring_view id);
