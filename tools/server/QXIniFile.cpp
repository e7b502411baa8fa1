#include "QXIniFile.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

} // namespace

CQXIniFile::CQXIniFile(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        return;
    m_loaded = true;
    std::string section;
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            const std::string name = Trim(line.substr(1, line.size() - 2));
            section = Lower(name);
            if (m_sections.emplace(section, std::map<std::string, std::string>()).second)
                m_order.push_back(name);
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        m_sections[section].emplace(Lower(Trim(line.substr(0, equals))),
                                    Trim(line.substr(equals + 1)));
    }
}

bool CQXIniFile::HasSection(const std::string& section) const {
    return m_sections.count(Lower(section)) != 0;
}

std::string CQXIniFile::Get(const std::string& section, const std::string& key,
                            const std::string& fallback) const {
    const auto s = m_sections.find(Lower(section));
    if (s == m_sections.end())
        return fallback;
    const auto k = s->second.find(Lower(key));
    return k == s->second.end() ? fallback : k->second;
}

bool CQXIniFile::GetFlag(const std::string& section, const std::string& key, bool fallback) const {
    const std::string value = Lower(Get(section, key, "\x01"));
    if (value == "\x01")
        return fallback;
    return value == "true" || value == "yes" || value == "1";
}

long long CQXIniFile::GetInteger(const std::string& section, const std::string& key,
                                 long long fallback) const {
    const std::string value = Get(section, key);
    if (value.empty())
        return fallback;
    try {
        return std::stoll(value);
    } catch (const std::exception&) {
        return fallback;
    }
}
