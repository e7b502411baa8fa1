#include <windows.h>

#include "app/QXLauncherApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    CQXLauncherApp app;
    return app.Run(commandLine != nullptr ? commandLine : L"");
}
