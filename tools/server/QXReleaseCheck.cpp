#include "QXReleaseCheck.h"

#include <system_error>

#include "QXIniRules.h"
#include "QXReleaseStore.h"
#include "platform/Text.h"
#include "update/QXLSafeName.h"

namespace fs = std::filesystem;

namespace {

const std::vector<SQXKeyRule> kVersionKeys = {
    {"PrimaryName", EQXValue::Text},
    {"PrimaryParameters", EQXValue::Text},
    {"ReleaseNoteName", EQXValue::Text},
    {"Label", EQXValue::Text},
    {"Update", EQXValue::Flag},
    {"ForceUpdate", EQXValue::Flag},
    {"ForceReboot", EQXValue::Flag},
    {"UpdateOnExit", EQXValue::Flag},
    {"WarningForceUpdate", EQXValue::Flag},
    {"StartBureauByDefault", EQXValue::Flag},
    {"DaysBeforeForceUpdateValue", EQXValue::Integer},
};
const std::vector<SQXKeyRule> kFileKeys = {
    {"Mode", EQXValue::Mode},
    {"ActiveX", EQXValue::Flag},
    {"Launch", EQXValue::Flag},
    {"Parameters", EQXValue::Text},
};
const char kFilePrefix[] = "File ";

// Why the launcher would refuse a file listed as relative ("dir/name"), or null.
const wchar_t* UnsafeReason(const std::string& relative) {
    const auto slash = relative.find_last_of('/');
    const std::wstring name = qxplat::FromNarrow(relative.substr(slash + 1));
    const std::wstring path =
        qxplat::FromNarrow(slash == std::string::npos ? std::string() : relative.substr(0, slash));
    const wchar_t* reason = QXLUnsafeFileNameReason(name);
    return reason != nullptr ? reason : QXLUnsafeFilePathReason(path);
}

std::size_t CheckFolder(const SQXReleasePlace& place, CQXSiteProblems& problems) {
    std::size_t files = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator it(place.folder, error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_regular_file())
            continue;
        ++files;
        const std::string relative = it->path().lexically_relative(place.folder).generic_string();
        if (const wchar_t* reason = UnsafeReason(relative))
            problems.Error(place.shownFolder / relative, 0,
                           "the launcher refuses this name (" + qxplat::ToNarrow(reason) + ")");
    }
    if (error)
        problems.Error(place.shownFolder, 0, "cannot be read: " + error.message());
    return files;
}

// The launcher starts a program with a drive or an absolute path where it is.
bool HasOwnPlace(const std::string& program) {
    return program.find(":\\") != std::string::npos || program.front() == '/';
}

bool HasFile(const fs::path& folder, const std::string& relative) {
    if (CQXReleaseStore::FileWithin(folder, relative))
        return true;
    // Linux launchers start NAME when NAME.exe is not there.
    if (relative.size() <= 4 || !QXStartsNoCase(relative.substr(relative.size() - 4), ".exe"))
        return false;
    return CQXReleaseStore::FileWithin(folder, relative.substr(0, relative.size() - 4)).has_value();
}

void CheckPrimary(const SQXReleasePlace& place, const SQXIniKey* primary,
                  CQXSiteProblems& problems) {
    if (primary == nullptr || primary->value.empty() || primary->value == "--" ||
        HasOwnPlace(primary->value))
        return;
    if (!HasFile(place.folder, primary->value))
        problems.Error(place.shownManifest, primary->line,
                       "PrimaryName=" + primary->value + " is not a file of " +
                           place.shownFolder.string());
}

} // namespace

std::size_t QXCheckRelease(const SQXReleasePlace& place, CQXSiteProblems& problems) {
    const std::size_t files = CheckFolder(place, problems);
    const CQXIniLines manifest(place.manifest);
    if (!manifest.Loaded())
        return files;
    QXCheckIniLayout(
        place.shownManifest, manifest,
        [](const std::string& name) -> const std::vector<SQXKeyRule>* {
            if (QXStartsNoCase(name, kFilePrefix) && name.size() > 5)
                return &kFileKeys;
            return QXStartsNoCase(name, "Version") && name.size() == 7 ? &kVersionKeys : nullptr;
        },
        problems);
    for (const auto& section : manifest.Sections()) {
        if (!QXStartsNoCase(section.name, kFilePrefix) || section.name.size() <= 5)
            continue;
        if (const wchar_t* reason = UnsafeReason(section.name.substr(5)))
            problems.Error(place.shownManifest, section.line,
                           "[" + section.name + "]: the launcher refuses this name (" +
                               qxplat::ToNarrow(reason) + ")");
    }
    CheckPrimary(place, QXFindKey(QXFindSection(manifest, "Version"), "PrimaryName"), problems);
    return files;
}
