#pragma once

#include <cstddef>
#include <filesystem>
#include <ostream>

#include "QXSiteProblems.h"

// Checks a whole site as the server reads it: site.ini, and for each application its
// application.ini (every version that Version=, Versions= and [User ...] sections name has
// its folder) and each release (QXReleaseCheck.h); staged folders and files that an
// interrupted publish left behind are warnings.
class CQXSiteCheck {
public:
    explicit CQXSiteCheck(const std::filesystem::path& root);

    // Runs the check once; problems name files under root as given.
    void Run();
    const CQXSiteProblems& Problems() const { return m_problems; }
    // One line: how many applications, versions and files were checked.
    std::string Summary() const;

    // For serve: checks root, writes every problem to out, and throws std::runtime_error when
    // one of them is an error.
    static void RequireServable(const std::filesystem::path& root, std::ostream& out);

private:
    void CheckSiteSettings();
    void CheckApplication(const std::string& application);
    void CheckAssignments(const std::filesystem::path& folder);

    std::filesystem::path m_root;
    CQXSiteProblems m_problems;
    std::size_t m_applications = 0;
    std::size_t m_versions = 0;
    std::size_t m_files = 0;
};
