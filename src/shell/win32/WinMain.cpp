#include <windows.h>

#include "app/QXLauncherApp.h"
#include "shell/win32/Win32UserInterface.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    CQXLWin32UserInterface userInterface(instance);
    userInterface.CreateWindows(); // without windows the run goes on without a progress window
    CQXLauncherApp app;
    return app.Run(commandLine != nullptr ? commandLine : L"", userInterface);
}
