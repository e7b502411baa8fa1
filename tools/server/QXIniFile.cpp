#include "QXIniFile.h"

#include <algorithm>
#include <cctype>

#include "platform/Text.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

CQXIniFile::CQXIniFile(const std::string& path)
    : m_loaded(m_document.Load(qxplat::FromNarrow(path))) {
    for (const std::wstring& name : m_document.SectionNames())
        m_order.push_back(qxplat::ToNarrow(name));
}

bool CQXIniFile::HasSection(const std::string& section) const {
    return m_document.HasSection(qxplat::FromNarrow(section));
}

std::string CQXIniFile::Get(const std::string& section, const std::string& key,
                            const std::string& fallback) const {
    const auto value = m_document.Find(qxplat::FromNarrow(section), qxplat::FromNarrow(key));
    return value ? qxplat::ToNarrow(*value) : fallback;
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
