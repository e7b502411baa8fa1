#include <windows.h>

#include "app/QXLauncherApp.h"
#include "platform/win32/Win32UserInterface.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    CQXLauncherApp app;
    CQXLWin32UserInterface userInterface;
    return app.Run(commandLine != nullptr ? commandLine : L"", userInterface);
}
