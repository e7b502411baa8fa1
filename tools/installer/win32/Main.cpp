#include <windows.h>

#include "QXInstallerApp.h"
#include "base/QXCommandLine.h"

// No window: the installer works unseen, at the launcher's request or at the next logon. Its
// command line is split by the launcher's own rules.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    std::vector<std::wstring> arguments;
    SplitCommandLine(commandLine, arguments);
    return RunInstallerApp(arguments);
}
