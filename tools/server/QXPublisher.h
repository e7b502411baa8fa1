#pragma once

#include <filesystem>
#include <ostream>
#include <string>

// What "qxserver publish" puts into a site.
struct SQXPublication {
    std::filesystem::path root;
    std::string application;
    std::string version;
    std::filesystem::path from;     // the release's files
    std::filesystem::path manifest; // its <version>.ini, or empty for none
    bool makeCurrent = false;       // also set [Application] Version= to it
};

// Publishes a release so that a crash at any point leaves the site serving what it served
// before: the files and manifest are copied into a staging folder beside the versions (hidden,
// so never served), forced to disk and checked; then the manifest and the folder are renamed
// into place, the folder last and never over an existing one. A staging folder that a crash
// left behind is reported by the site check. With makeCurrent, application.ini is rewritten
// through a temporary file and a rename.
class CQXPublisher {
public:
    CQXPublisher(const SQXPublication& publication, std::ostream& out);

    // Returns 0 when published, 1 when refused (the reasons on out). Throws std::runtime_error
    // for a failing file operation, after removing what it staged.
    int Run();
    // Sets [Application] Version= of the application folder's application.ini to version,
    // through a temporary file and a rename; returns the file's path. Throws
    // std::runtime_error when it cannot be written.
    static std::filesystem::path SetCurrentVersion(const std::filesystem::path& folder,
                                                   const std::string& version);

private:
    // Checks the staged copy; false (with its problems on out) when it has errors.
    bool CheckStaged(const std::filesystem::path& staged) const;

    SQXPublication m_publication;
    std::filesystem::path m_folder; // the application's folder
    std::ostream& m_out;
};
