#pragma once

#include <filesystem>
#include <string>
#include <vector>

// One key line of an INI file: its trimmed name and value (quotes kept) and its line number.
struct SQXIniKey {
    std::string name;
    std::string value;
    int line = 0;
};

// One "[name]" section with the key lines under it.
struct SQXIniSection {
    std::string name;
    int line = 0;
    std::vector<SQXIniKey> keys;
};

// An INI file read line by line with the rules the server reads it by (QXIniFile), keeping
// where each section and key stands, so that a check can name the file and line of a mistake.
class CQXIniLines {
public:
    // Reads path; a file that cannot be read leaves Loaded() false and no sections.
    explicit CQXIniLines(const std::filesystem::path& path);

    bool Loaded() const { return m_loaded; }
    // In file order, repeated sections included (readers take the first of each name).
    const std::vector<SQXIniSection>& Sections() const { return m_sections; }
    // Key lines before the first section, which no reader sees.
    const std::vector<SQXIniKey>& Loose() const { return m_loose; }
    // Lines that are neither blank, a comment (';' or '#'), a section nor a key=value pair.
    const std::vector<int>& StrayLines() const { return m_stray; }

private:
    bool m_loaded = false;
    std::vector<SQXIniSection> m_sections;
    std::vector<SQXIniKey> m_loose;
    std::vector<int> m_stray;
};
