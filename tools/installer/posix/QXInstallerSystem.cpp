#include "QXInstallerSystem.h"

#include "base/QXText.h"

std::optional<SQXInstallerCommand> RegisterCommand(const std::wstring&) { return std::nullopt; }

std::optional<SQXInstallerCommand> InstallCommand(const std::wstring& path) {
    if (path.size() > 4 && QXEqualsNoCase(path.substr(path.size() - 4), L".msi"))
        return std::nullopt;
    return SQXInstallerCommand{path, L""};
}
