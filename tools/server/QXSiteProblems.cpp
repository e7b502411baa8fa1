#include "QXSiteProblems.h"

#include <algorithm>

std::string SQXSiteProblem::Describe() const {
    std::string text = file;
    if (line > 0)
        text += ":" + std::to_string(line);
    return text + ": " + (error ? "" : "warning: ") + this->text;
}

void CQXSiteProblems::Error(const std::filesystem::path& file, int line, const std::string& text) {
    m_problems.push_back({file.string(), line, text, true});
}

void CQXSiteProblems::Warning(const std::filesystem::path& file, int line,
                              const std::string& text) {
    m_problems.push_back({file.string(), line, text, false});
}

bool CQXSiteProblems::HasErrors() const {
    return std::any_of(m_problems.begin(), m_problems.end(),
                       [](const SQXSiteProblem& problem) { return problem.error; });
}

void CQXSiteProblems::Print(std::ostream& out) const {
    for (const auto& problem : m_problems)
        out << problem.Describe() << '\n';
}
