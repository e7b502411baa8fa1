#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "QXIniLines.h"
#include "QXSiteProblems.h"

// What a key's value must be.
enum class EQXValue { Text, Flag, Integer, Mode };

struct SQXKeyRule {
    const char* name;
    EQXValue kind;
};

// The rules of a section by its name, or null for a section no reader knows.
using QXSectionRules = std::function<const std::vector<SQXKeyRule>*(const std::string& section)>;

// Checks the layout of one settings file against what its reader knows: a file that is there
// must be readable; each value of a known
// key must be of its kind (an error otherwise); unknown sections and keys, repeated ones, keys
// before any section and lines that are no key=value pair are warnings, since readers skip
// them.
void QXCheckIniLayout(const std::filesystem::path& file, const CQXIniLines& ini,
                      const QXSectionRules& rules, CQXSiteProblems& problems);

// The first section of that name (case ignored), as readers take it; null when none.
const SQXIniSection* QXFindSection(const CQXIniLines& ini, const std::string& name);
// The first key of that name (case ignored) in section; null when none.
const SQXIniKey* QXFindKey(const SQXIniSection* section, const std::string& name);
// True when text starts with prefix, case ignored (ASCII).
bool QXStartsNoCase(const std::string& text, const std::string& prefix);
