#include <clocale>
#include <string>
#include <vector>

#include "app/QXLauncherApp.h"
#include "platform/Text.h"
#include "ui/QXLScriptedUserInterface.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(qxplat::FromNarrow(argv[i]));
    CQXLauncherApp app;
    // No toolkit shows boxes here yet: the run goes on unattended, every box taking its first
    // button and a proxy's question declined.
    CQXLScriptedUserInterface userInterface;
    return app.Run(arguments, userInterface);
}
