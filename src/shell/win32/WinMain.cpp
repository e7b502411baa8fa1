#include <windows.h>

#include "app/QXLDoctor.h"
#include "app/QXLauncherApp.h"
#include "base/QXCommandLine.h"
#include "shell/win32/ConsoleOutput.h"
#include "shell/win32/Win32UserInterface.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    std::vector<std::wstring> arguments;
    SplitCommandLine(commandLine, arguments);
    if (QXLIsCheckRequested(arguments))
        return QXLRunCheck(arguments, ConsoleLineWriter());
    CQXLWin32UserInterface userInterface(instance);
    userInterface.CreateWindows(); // without windows the run goes on without a progress window
    CQXLauncherApp app;
    return app.Run(commandLine != nullptr ? commandLine : L"", userInterface);
}
