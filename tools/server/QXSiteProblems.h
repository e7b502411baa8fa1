#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

// One mistake found in a site. An error breaks what the server answers (serve refuses such a
// site); a warning is a leftover or a line no reader sees, which the server ignores.
struct SQXSiteProblem {
    std::string file;
    // 0 when the problem is about the file or folder as a whole.
    int line = 0;
    std::string text;
    bool error = true;

    // "FILE:LINE: text", "FILE: text", with "warning: " before a warning's text.
    std::string Describe() const;
};

// The problems a check found, in the order found.
class CQXSiteProblems {
public:
    void Error(const std::filesystem::path& file, int line, const std::string& text);
    void Warning(const std::filesystem::path& file, int line, const std::string& text);

    const std::vector<SQXSiteProblem>& All() const { return m_problems; }
    bool HasErrors() const;
    // Writes one Describe() line per problem.
    void Print(std::ostream& out) const;

private:
    std::vector<SQXSiteProblem> m_problems;
};
