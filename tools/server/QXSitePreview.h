#pragma once

#include <filesystem>
#include <ostream>
#include <string>

// "qxserver preview": the replies a user would get from the site (application information,
// version list, primary, file list), made by the server's own services on a session of a
// database in memory, without a running server. The user need not exist: the password
// columns are those of a user without password age.
class CQXSitePreview {
public:
    CQXSitePreview(const std::filesystem::path& root, std::ostream& out);

    // application empty: the one the launcher gets without naming one. Returns 0, or 1 when a
    // reply is a refusal (printed with its reason).
    int Run(const std::string& user, const std::string& application);

private:
    std::filesystem::path m_root;
    std::ostream& m_out;
};
