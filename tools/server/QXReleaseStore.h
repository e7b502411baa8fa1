#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "QXChecksumCache.h"

// Which version a user gets (empty when there is none to give) and which ones the user may
// choose.
struct SQXAssignment {
    std::string version;
    std::vector<std::string> versions;
    // Versions the settings name that have no folder: the server gives none of them.
    std::vector<std::string> missing;
    // The user's own section names the version (which a rollout then leaves alone).
    bool personal = false;
};

// The per-version settings that the files alone cannot tell.
struct SQXVersionSettings {
    bool update = true;
    bool forceUpdate = false;
    bool forceReboot = false;
    bool updateOnExit = false;
    bool warningForceUpdate = false;
    bool startBureauByDefault = false;
    std::int64_t daysBeforeForceUpdate = 0;
    std::string label;
    std::string releaseNoteName;
    std::string primaryName;
    std::string primaryParameters;
};

// One row of a version's file list. path is the sub-folder with '/' separators, empty at the
// top of the version.
struct SQXFileRow {
    std::string name;
    std::string path;
    std::uint64_t size = 0;
    std::uint32_t checksum = 0;
    // Hex SHA-256, filled only when the store computes it (signed sites).
    std::string sha256;
    std::string mode = "delta";
    bool activeX = false;
    bool launch = false;
    std::string parameters;
    // The release file has a run bit: Linux launchers give their copy the run bits.
    bool executable = false;
    // Where the file lies, links resolved and found inside its version: empty for a row that
    // only the manifest names.
    std::filesystem::path file;
};

// The releases under <root>/releases: <application>/<version>/ holds a version's files,
// <application>/<version>.ini its settings, <application>/application.ini who gets which
// version. Read on each call, so a site can be changed while the server runs; checksums are
// cached per file.
class CQXReleaseStore {
public:
    explicit CQXReleaseStore(const std::filesystem::path& root);

    // Application names in sorted order.
    std::vector<std::string> Applications() const;
    // An application (version) folder counts only when, links followed, it lies inside the
    // releases folder (the application's folder), and its name is a plain file name.
    bool HasApplication(const std::string& application) const;
    // The application of site.ini's DefaultApplication, else the first one; empty when none.
    std::string DefaultApplication() const;
    // A Version= whose folder is missing gives no version (never another one) and, like a
    // missing one of Versions=, is named in missing.
    SQXAssignment Assignment(const std::string& application, const std::string& user) const;
    bool HasVersion(const std::string& application, const std::string& version) const;
    // The versions that have a folder, oldest first ("9.0" before "10.0").
    std::vector<std::string> Versions(const std::string& application) const;
    SQXVersionSettings Settings(const std::string& application, const std::string& version) const;
    // Every file of the version (sorted by path), then the manifest's entries for files that
    // are not there (delete-mode entries), with size and checksum 0.
    std::vector<SQXFileRow> Files(const std::string& application, const std::string& version);
    // The file to send for a "path/name" request, or nothing when it is not a file of the
    // version (including any attempt to climb out of it).
    std::optional<std::filesystem::path> File(const std::string& application,
                                              const std::string& version,
                                              const std::string& relative) const;

    // The row of the file "path/name" of the version, with its size and checksums but without
    // the manifest's settings; nothing when File would give nothing.
    std::optional<SQXFileRow> Row(const std::string& application, const std::string& version,
                                  const std::string& relative);

    // The regular file "path/name" below folder, links followed but never out of it; nothing
    // for a name that climbs out or is not a file.
    static std::optional<std::filesystem::path> FileWithin(const std::filesystem::path& folder,
                                                           const std::string& relative);
    // A name the launcher may send for an application or version folder.
    static bool IsPlainName(const std::string& name);
    // The versions of a "Versions=" value, in its order.
    static std::vector<std::string> SplitVersions(const std::string& text);

    // Lists each file's SHA-256 too from now on.
    void ComputeSha256() { m_checksums.ComputeSha256(); }

private:
    std::filesystem::path ApplicationFolder(const std::string& application) const;

    std::filesystem::path m_root;
    CQXChecksumCache m_checksums;
};
