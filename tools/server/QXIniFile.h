#pragma once

#include <string>
#include <vector>

#include "platform/IniDocument.h"

// The site's settings files, read with the launcher's own INI rules: [section] lines,
// name=value pairs, section and key names without regard to case, values trimmed. Text is
// UTF-8.
class CQXIniFile {
public:
    // Reads the file; a missing file gives an empty document (Loaded() is then false).
    explicit CQXIniFile(const std::string& path);

    bool Loaded() const { return m_loaded; }
    bool HasSection(const std::string& section) const;
    std::string Get(const std::string& section, const std::string& key,
                    const std::string& fallback = std::string()) const;
    // "TRUE"/"YES"/"1" (any case) is true, any other value false; a missing key gives fallback.
    bool GetFlag(const std::string& section, const std::string& key, bool fallback) const;
    long long GetInteger(const std::string& section, const std::string& key,
                         long long fallback) const;
    // Section names in file order.
    const std::vector<std::string>& Sections() const { return m_order; }

private:
    CQXIniDocument m_document;
    bool m_loaded = false;
    std::vector<std::string> m_order;
};
