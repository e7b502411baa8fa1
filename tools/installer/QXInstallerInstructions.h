#pragma once

#include <string>
#include <vector>

// What the launcher's instruction file "qxinstaller.txt" asks for, as written: [Config] Dst,
// Src, ApplicationLabel and NbFile, and the entries "FileN" (with "ParamN" in [Update]) of
// each section, numbered from 1. Names come with this platform's separators.
struct SQXInstallerEntry {
    std::wstring name;
    std::wstring parameters; // [Update] only
};

class CQXInstallerInstructions {
public:
    // Reads the file. False when it does not exist or names no destination or source.
    bool Read(const std::wstring& file);

    std::wstring destination; // with a trailing separator
    std::wstring source;      // with a trailing separator
    std::wstring label;
    int fileCount = -1; // NbFile; -1 when the file does not say
    std::vector<SQXInstallerEntry> move;
    std::vector<SQXInstallerEntry> remove; // [Delete]
    std::vector<SQXInstallerEntry> registration;
    std::vector<SQXInstallerEntry> update;
    std::vector<SQXInstallerEntry> install;
    std::vector<SQXInstallerEntry> extract;
};
