#include "QXSiteCheck.h"

#include <algorithm>
#include <stdexcept>

#include "QXIniRules.h"
#include "QXReleaseCheck.h"
#include "QXReleaseStore.h"

namespace fs = std::filesystem;

namespace {

const std::vector<SQXKeyRule> kSiteKeys = {{"DefaultApplication", EQXValue::Text}};
const std::vector<SQXKeyRule> kPasswordKeys = {{"MaxAgeDays", EQXValue::Integer},
                                               {"WarningDays", EQXValue::Integer}};
const std::vector<SQXKeyRule> kUpdateKeys = {{"Deltas", EQXValue::Flag}};
const std::vector<SQXKeyRule> kApplicationKeys = {
    {"Label", EQXValue::Text}, {"Version", EQXValue::Text}, {"Versions", EQXValue::Text}};
const std::vector<SQXKeyRule> kUserKeys = {{"Version", EQXValue::Text},
                                           {"Versions", EQXValue::Text}};
// What a publish stages its release and settings under until it moves them into place.
const char kStagedPrefix[] = ".publish-";
const std::string kIni = ".ini";

bool IsNamed(const std::string& section, const char* name) {
    return section.size() == std::char_traits<char>::length(name) && QXStartsNoCase(section, name);
}

} // namespace

CQXSiteCheck::CQXSiteCheck(const fs::path& root) : m_root(root) {}

void CQXSiteCheck::Run() {
    const fs::path releases = m_root / "releases";
    if (!fs::is_directory(releases)) {
        m_problems.Error(releases, 0, "no releases folder: this is not a site");
        return;
    }
    CheckSiteSettings();
    for (const auto& application : CQXReleaseStore(m_root).Applications())
        CheckApplication(application);
}

void CQXSiteCheck::CheckSiteSettings() {
    const fs::path file = m_root / "site.ini";
    const CQXIniLines ini(file);
    QXCheckIniLayout(
        file, ini,
        [](const std::string& name) -> const std::vector<SQXKeyRule>* {
            if (IsNamed(name, "Site"))
                return &kSiteKeys;
            if (IsNamed(name, "Updates"))
                return &kUpdateKeys;
            return IsNamed(name, "Passwords") ? &kPasswordKeys : nullptr;
        },
        m_problems);
    const SQXIniKey* key = QXFindKey(QXFindSection(ini, "Site"), "DefaultApplication");
    if (key != nullptr && !key->value.empty() &&
        !CQXReleaseStore(m_root).HasApplication(key->value))
        m_problems.Error(file, key->line,
                         "DefaultApplication=" + key->value + " has no folder releases/" +
                             key->value + "/");
}

void CQXSiteCheck::CheckApplication(const std::string& application) {
    ++m_applications;
    const fs::path folder = m_root / "releases" / application;
    CheckAssignments(folder);
    const CQXReleaseStore store(m_root);
    std::error_code error;
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(folder, error))
        entries.push_back(entry);
    std::sort(entries.begin(), entries.end());
    for (const auto& entry : entries) {
        const std::string name = entry.filename().string();
        if (QXStartsNoCase(name, kStagedPrefix)) {
            m_problems.Warning(entry, 0, "left by an interrupted publish, never served: remove it");
        } else if (store.HasVersion(application, name)) {
            ++m_versions;
            m_files += QXCheckRelease(
                {entry, folder / (name + kIni), entry, folder / (name + kIni)}, m_problems);
        } else if (name.size() > kIni.size() && name.compare(name.size() - 4, 4, kIni) == 0 &&
                   name != "application.ini" &&
                   !store.HasVersion(application, name.substr(0, name.size() - 4))) {
            m_problems.Warning(entry, 0, "settings of a version that has no folder: ignored");
        }
    }
}

void CQXSiteCheck::CheckAssignments(const fs::path& folder) {
    const fs::path file = folder / "application.ini";
    const CQXIniLines ini(file);
    QXCheckIniLayout(
        file, ini,
        [](const std::string& name) -> const std::vector<SQXKeyRule>* {
            if (IsNamed(name, "Application"))
                return &kApplicationKeys;
            return QXStartsNoCase(name, "User ") && name.size() > 5 ? &kUserKeys : nullptr;
        },
        m_problems);
    const CQXReleaseStore store(m_root);
    const std::string application = folder.filename().string();
    for (const auto& section : ini.Sections()) {
        if (QXFindSection(ini, section.name) != &section ||
            (!IsNamed(section.name, "Application") && !QXStartsNoCase(section.name, "User ")))
            continue;
        for (const char* name : {"Version", "Versions"}) {
            const SQXIniKey* key = QXFindKey(&section, name);
            if (key == nullptr || key->value.empty())
                continue;
            // Version= names one folder, commas and all; Versions= a list.
            const auto named = std::string(name) == "Version"
                                   ? std::vector<std::string>{key->value}
                                   : CQXReleaseStore::SplitVersions(key->value);
            for (const auto& version : named)
                if (!store.HasVersion(application, version))
                    m_problems.Error(file, key->line,
                                     std::string(name) + "=" + key->value + ": version " + version +
                                         " has no folder " + application + "/" + version + "/");
        }
    }
}

std::string CQXSiteCheck::Summary() const {
    return "site " + m_root.string() + ": " + std::to_string(m_applications) + " application(s), " +
           std::to_string(m_versions) + " version(s), " + std::to_string(m_files) + " file(s), " +
           std::to_string(m_problems.All().size()) + " problem(s)";
}

void CQXSiteCheck::RequireServable(const fs::path& root, std::ostream& out) {
    CQXSiteCheck check(root);
    check.Run();
    check.Problems().Print(out);
    if (check.Problems().HasErrors())
        throw std::runtime_error("the site " + root.string() +
                                 " is not served: mend the errors above (qxserver check --root " +
                                 root.string() + ")");
}
