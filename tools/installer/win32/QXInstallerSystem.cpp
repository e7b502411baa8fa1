#include "QXInstallerSystem.h"

#include "base/QXText.h"

std::optional<SQXInstallerCommand> RegisterCommand(const std::wstring& path) {
    return SQXInstallerCommand{L"regsvr32", L"/s \"" + path + L"\""};
}

std::optional<SQXInstallerCommand> InstallCommand(const std::wstring& path) {
    if (path.size() > 4 && QXEqualsNoCase(path.substr(path.size() - 4), L".msi"))
        return SQXInstallerCommand{L"msiexec", L"/i \"" + path + L"\" /qn"};
    return SQXInstallerCommand{path, L""};
}
