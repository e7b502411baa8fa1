#pragma once

#include <optional>
#include <string>

// How this system registers components and installs packages.
struct SQXInstallerCommand {
    std::wstring program;    // a full path, or a program the system finds on its own
    std::wstring parameters; // as one command-line text
};

// The command that registers the component at path; nullopt where components need no
// registration (Linux).
std::optional<SQXInstallerCommand> RegisterCommand(const std::wstring& path);

// The command that installs the file at path: the package installer for a .msi on Windows,
// otherwise the file itself as a program. nullopt when this system cannot install it.
std::optional<SQXInstallerCommand> InstallCommand(const std::wstring& path);
