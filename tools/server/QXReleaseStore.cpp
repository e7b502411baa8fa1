#include "QXReleaseStore.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

#include "QXIniFile.h"

namespace fs = std::filesystem;

namespace {

// The longest file name the file systems take.
constexpr std::size_t kMaxName = 255;

// True when folder is a directory that, links followed, lies inside parent: a symbolic link
// may lead elsewhere within the site, never out of it.
bool IsFolderWithin(const fs::path& folder, const fs::path& parent) {
    std::error_code error;
    const fs::path real = fs::canonical(folder, error);
    if (error || !fs::is_directory(real, error))
        return false;
    const fs::path base = fs::canonical(parent, error);
    if (error)
        return false;
    return std::mismatch(base.begin(), base.end(), real.begin(), real.end()).first == base.end();
}

// Orders "9.0" before "10.0": runs of digits compare by value.
bool VersionLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) &&
            std::isdigit(static_cast<unsigned char>(b[j]))) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])))
                ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])))
                ++ej;
            const std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            const auto ta = na.find_first_not_of('0'), tb = nb.find_first_not_of('0');
            const std::string va = ta == std::string::npos ? "" : na.substr(ta);
            const std::string vb = tb == std::string::npos ? "" : nb.substr(tb);
            if (va.size() != vb.size())
                return va.size() < vb.size();
            if (va != vb)
                return va < vb;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

} // namespace

std::vector<std::string> CQXReleaseStore::SplitVersions(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        const auto first = item.find_first_not_of(' ');
        const auto last = item.find_last_not_of(' ');
        if (first != std::string::npos)
            items.push_back(item.substr(first, last - first + 1));
    }
    return items;
}

// A name the launcher may send for a folder: no separators, no climbing, nothing hidden (the
// folders a publish stages), not too long for a file name.
bool CQXReleaseStore::IsPlainName(const std::string& name) {
    return !name.empty() && name.size() <= kMaxName && name[0] != '.' &&
           name.find_first_of("/\\") == std::string::npos && name.find('\0') == std::string::npos;
}

namespace {

std::vector<std::string> SubFolders(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (CQXReleaseStore::IsPlainName(name) && IsFolderWithin(entry.path(), folder))
            names.push_back(name);
    }
    return names;
}

std::string FileSection(const std::string& relative) { return "File " + relative; }

void ApplyFileSettings(const CQXIniFile& manifest, const std::string& relative, SQXFileRow& row) {
    const std::string section = FileSection(relative);
    row.mode = manifest.Get(section, "Mode", "delta");
    row.activeX = manifest.GetFlag(section, "ActiveX", false);
    row.launch = manifest.GetFlag(section, "Launch", false);
    row.parameters = manifest.Get(section, "Parameters");
}

} // namespace

CQXReleaseStore::CQXReleaseStore(const fs::path& root) : m_root(root) {}

fs::path CQXReleaseStore::ApplicationFolder(const std::string& application) const {
    return m_root / "releases" / application;
}

std::vector<std::string> CQXReleaseStore::Applications() const {
    std::vector<std::string> names = SubFolders(m_root / "releases");
    std::sort(names.begin(), names.end());
    return names;
}

bool CQXReleaseStore::HasApplication(const std::string& application) const {
    return IsPlainName(application) &&
           IsFolderWithin(ApplicationFolder(application), m_root / "releases");
}

std::string CQXReleaseStore::DefaultApplication() const {
    const std::string configured =
        CQXIniFile((m_root / "site.ini").string()).Get("Site", "DefaultApplication");
    if (HasApplication(configured))
        return configured;
    const auto names = Applications();
    return names.empty() ? std::string() : names.front();
}

SQXAssignment CQXReleaseStore::Assignment(const std::string& application,
                                          const std::string& user) const {
    const std::vector<std::string> present = Versions(application);
    const CQXIniFile settings((ApplicationFolder(application) / "application.ini").string());
    const std::string userSection = "User " + user;

    SQXAssignment assignment;
    std::string choosable =
        settings.Get(userSection, "Versions", settings.Get("Application", "Versions"));
    for (const auto& version : choosable.empty() ? present : SplitVersions(choosable)) {
        const bool there = std::find(present.begin(), present.end(), version) != present.end();
        (there ? assignment.versions : assignment.missing).push_back(version);
    }
    assignment.personal = !settings.Get(userSection, "Version").empty();
    assignment.version =
        settings.Get(userSection, "Version", settings.Get("Application", "Version"));
    if (assignment.version.empty())
        assignment.version = present.empty() ? std::string() : present.back();
    else if (!HasVersion(application, assignment.version)) {
        assignment.missing.push_back(assignment.version);
        assignment.version.clear();
    }
    return assignment;
}

bool CQXReleaseStore::HasVersion(const std::string& application, const std::string& version) const {
    return HasApplication(application) && IsPlainName(version) &&
           IsFolderWithin(ApplicationFolder(application) / version, ApplicationFolder(application));
}

std::vector<std::string> CQXReleaseStore::Versions(const std::string& application) const {
    std::vector<std::string> present = SubFolders(ApplicationFolder(application));
    std::sort(present.begin(), present.end(), VersionLess);
    return present;
}

SQXVersionSettings CQXReleaseStore::Settings(const std::string& application,
                                             const std::string& version) const {
    const CQXIniFile manifest((ApplicationFolder(application) / (version + ".ini")).string());
    const CQXIniFile appSettings((ApplicationFolder(application) / "application.ini").string());
    const std::string v = "Version";
    SQXVersionSettings s;
    s.update = manifest.GetFlag(v, "Update", true);
    s.forceUpdate = manifest.GetFlag(v, "ForceUpdate", false);
    s.forceReboot = manifest.GetFlag(v, "ForceReboot", false);
    s.updateOnExit = manifest.GetFlag(v, "UpdateOnExit", false);
    s.warningForceUpdate = manifest.GetFlag(v, "WarningForceUpdate", false);
    s.startBureauByDefault = manifest.GetFlag(v, "StartBureauByDefault", false);
    s.daysBeforeForceUpdate = manifest.GetInteger(v, "DaysBeforeForceUpdateValue", 0);
    s.label = manifest.Get(v, "Label", appSettings.Get("Application", "Label"));
    s.releaseNoteName = manifest.Get(v, "ReleaseNoteName");
    s.primaryName = manifest.Get(v, "PrimaryName", "--");
    s.primaryParameters = manifest.Get(v, "PrimaryParameters", "--");
    return s;
}

std::vector<SQXFileRow> CQXReleaseStore::Files(const std::string& application,
                                               const std::string& version) {
    const fs::path folder = ApplicationFolder(application) / version;
    const CQXIniFile manifest((ApplicationFolder(application) / (version + ".ini")).string());
    std::vector<SQXFileRow> rows;
    std::set<std::string> listed;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        const fs::path relative = file.lexically_relative(folder);
        const auto resolved = File(application, version, relative.generic_string());
        if (!resolved)
            continue; // a link that leads out of the version is neither listed nor served
        SQXFileRow row;
        row.file = *resolved;
        row.name = relative.filename().string();
        row.path = relative.parent_path().generic_string();
        const auto entry = m_checksums.Get(file);
        row.size = entry.size;
        row.checksum = entry.checksum;
        row.sha256 = entry.sha256;
        std::error_code ignored;
        row.executable =
            (fs::status(file, ignored).permissions() &
             (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec)) !=
            fs::perms::none;
        ApplyFileSettings(manifest, relative.generic_string(), row);
        listed.insert(relative.generic_string());
        rows.push_back(row);
    }
    for (const auto& section : manifest.Sections()) {
        if (section.rfind("File ", 0) != 0)
            continue;
        const fs::path relative(section.substr(5));
        if (listed.count(relative.generic_string()) != 0)
            continue;
        SQXFileRow row;
        row.name = relative.filename().string();
        row.path = relative.parent_path().generic_string();
        ApplyFileSettings(manifest, relative.generic_string(), row);
        rows.push_back(row);
    }
    return rows;
}

std::optional<fs::path> CQXReleaseStore::File(const std::string& application,
                                              const std::string& version,
                                              const std::string& relative) const {
    if (!HasVersion(application, version))
        return std::nullopt;
    return FileWithin(ApplicationFolder(application) / version, relative);
}

std::optional<SQXFileRow> CQXReleaseStore::Row(const std::string& application,
                                               const std::string& version,
                                               const std::string& relative) {
    const auto file = File(application, version, relative);
    if (!file)
        return std::nullopt;
    const fs::path normal = fs::path(relative).lexically_normal();
    SQXFileRow row;
    row.name = normal.filename().string();
    row.path = normal.parent_path().generic_string();
    row.file = *file;
    const auto entry = m_checksums.Get(*file);
    row.size = entry.size;
    row.checksum = entry.checksum;
    row.sha256 = entry.sha256;
    return row;
}

std::optional<fs::path> CQXReleaseStore::FileWithin(const fs::path& versionFolder,
                                                    const std::string& relative) {
    if (relative.empty() || relative.find('\0') != std::string::npos)
        return std::nullopt;
    const fs::path rel = fs::path(relative).lexically_normal();
    if (rel.is_absolute() || rel.empty() || *rel.begin() == "..")
        return std::nullopt;
    std::error_code error;
    const fs::path folder = fs::canonical(versionFolder, error);
    if (error)
        return std::nullopt;
    const fs::path file = fs::weakly_canonical(folder / rel, error);
    if (error || !fs::is_regular_file(file, error))
        return std::nullopt;
    // Even a symbolic link must not lead out of the version's folder.
    const auto mismatch = std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
    if (mismatch.first != folder.end())
        return std::nullopt;
    return file;
}
