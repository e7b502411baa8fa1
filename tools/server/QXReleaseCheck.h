#pragma once

#include <cstddef>
#include <filesystem>

#include "QXSiteProblems.h"

// Where a release lies, and how problems name it (a publish names its sources, not the copy
// it stages).
struct SQXReleasePlace {
    std::filesystem::path folder;   // the version's files
    std::filesystem::path manifest; // <version>.ini, which may be absent
    std::filesystem::path shownFolder;
    std::filesystem::path shownManifest;
};

// Checks one release: the manifest's layout, flags and modes; every file name, on disk and in
// [File ...] sections, one the launcher accepts (no absolute path, drive, "..", separator in a
// name); PrimaryName a file of the release (or, for "NAME.exe", NAME, as Linux launchers
// start it). Returns the number of files in the folder.
std::size_t QXCheckRelease(const SQXReleasePlace& place, CQXSiteProblems& problems);
