#include <commctrl.h>
#include <windows.h>

#include "app/QXLauncherApp.h"
#include "platform/win32/Win32UserInterface.h"
#include "ui/QXLanguage.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    // The progress bars' window class lives in the common controls.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    CQXLWin32UserInterface userInterface(instance, QXChooseLanguageBase());
    userInterface.CreateWindows(); // without windows the run goes on without a progress window
    CQXLauncherApp app;
    return app.Run(commandLine != nullptr ? commandLine : L"", userInterface);
}
