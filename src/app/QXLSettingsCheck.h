#pragma once

#include <string>
#include <vector>

// The mistakes in the text of qxurl.net that the launcher itself passes over without a word:
// unknown sections and keys, keys in the wrong section, numbered keys after a gap, switch
// values that do not switch, malformed URLs and public keys, repeated keys, stray lines. Each
// finding is one line naming the file's line ("qxurl.net:7: ...").
class CQXLSettingsCheck {
public:
    // bytes is the file's content (8-bit or UTF-16 with its mark); fileName names it in the
    // findings.
    static std::vector<std::wstring> Check(const std::string& bytes, const std::wstring& fileName);
};
