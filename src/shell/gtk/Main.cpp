#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "app/QXLDoctor.h"
#include "app/QXLauncherApp.h"
#include "platform/Text.h"
#include "shell/gtk/UserInterfaceChoice.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(qxplat::FromNarrow(argv[i]));
    if (QXLIsCheckRequested(arguments))
        return QXLRunCheck(arguments, [](const std::wstring& line) {
            std::printf("%s\n", qxplat::ToNarrow(line).c_str());
        });
    return QXLRunWithChosenInterface([&arguments](IQXLUserInterface& userInterface) {
        return CQXLauncherApp().Run(arguments, userInterface);
    });
}
