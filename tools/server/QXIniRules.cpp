#include "QXIniRules.h"

#include <cctype>
#include <map>

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The spellings the file list's mode takes, as the launcher reads them.
bool IsMode(const std::string& value) {
    static const char* const kModes[] = {"delta",       "1",         "create", "creation", "2",
                                         "suppression", "delete",    "3",      "update",   "4",
                                         "install",     "installer", "5",      "none"};
    const std::string lower = Lower(value);
    for (const char* mode : kModes)
        if (lower == mode)
            return true;
    return false;
}

bool IsFlag(const std::string& value) {
    const std::string lower = Lower(value);
    return lower == "true" || lower == "false" || lower == "yes" || lower == "no" || lower == "1" ||
           lower == "0";
}

bool IsInteger(const std::string& value) {
    std::size_t at = value.size() > 1 && (value[0] == '-' || value[0] == '+') ? 1 : 0;
    if (at == value.size())
        return false;
    for (; at < value.size(); ++at)
        if (!std::isdigit(static_cast<unsigned char>(value[at])))
            return false;
    return value.size() < 19;
}

void CheckValue(const std::filesystem::path& file, const SQXIniKey& key, EQXValue kind,
                CQXSiteProblems& problems) {
    const std::string shown = key.name + "=" + key.value;
    if (kind == EQXValue::Flag && !IsFlag(key.value))
        problems.Error(file, key.line, shown + " is not TRUE or FALSE");
    else if (kind == EQXValue::Integer && !IsInteger(key.value))
        problems.Error(file, key.line, shown + " is not a whole number");
    else if (kind == EQXValue::Mode && !IsMode(key.value))
        problems.Error(file, key.line,
                       shown + " is not a mode (delta, create, delete, update, install, none)");
}

void CheckKeys(const std::filesystem::path& file, const SQXIniSection& section,
               const std::vector<SQXKeyRule>& rules, CQXSiteProblems& problems) {
    std::map<std::string, int> seen;
    for (const auto& key : section.keys) {
        const auto first = seen.emplace(Lower(key.name), key.line);
        if (!first.second) {
            problems.Warning(file, key.line,
                             key.name + " again in [" + section.name + "]: line " +
                                 std::to_string(first.first->second) + " counts, this is ignored");
            continue;
        }
        const SQXKeyRule* rule = nullptr;
        for (const auto& candidate : rules)
            if (Lower(candidate.name) == Lower(key.name))
                rule = &candidate;
        if (rule == nullptr)
            problems.Warning(file, key.line,
                             "unknown key " + key.name + " in [" + section.name + "]: ignored");
        else
            CheckValue(file, key, rule->kind, problems);
    }
}

} // namespace

void QXCheckIniLayout(const std::filesystem::path& file, const CQXIniLines& ini,
                      const QXSectionRules& rules, CQXSiteProblems& problems) {
    std::error_code error;
    if (!ini.Loaded() && std::filesystem::exists(file, error))
        problems.Error(file, 0, "cannot be read");
    for (int line : ini.StrayLines())
        problems.Warning(file, line, "not a [section], a key=value pair nor a comment: ignored");
    for (const auto& key : ini.Loose())
        problems.Warning(file, key.line, key.name + " stands before any [section]: ignored");
    std::map<std::string, int> seen;
    for (const auto& section : ini.Sections()) {
        const auto first = seen.emplace(Lower(section.name), section.line);
        if (!first.second) {
            problems.Warning(file, section.line,
                             "[" + section.name + "] again: line " +
                                 std::to_string(first.first->second) + " counts, this is ignored");
            continue;
        }
        if (const auto* known = rules(section.name))
            CheckKeys(file, section, *known, problems);
        else
            problems.Warning(file, section.line, "unknown section [" + section.name + "]: ignored");
    }
}

const SQXIniSection* QXFindSection(const CQXIniLines& ini, const std::string& name) {
    for (const auto& section : ini.Sections())
        if (Lower(section.name) == Lower(name))
            return &section;
    return nullptr;
}

const SQXIniKey* QXFindKey(const SQXIniSection* section, const std::string& name) {
    if (section == nullptr)
        return nullptr;
    for (const auto& key : section->keys)
        if (Lower(key.name) == Lower(name))
            return &key;
    return nullptr;
}

bool QXStartsNoCase(const std::string& text, const std::string& prefix) {
    return Lower(text.substr(0, prefix.size())) == Lower(prefix);
}
