#include <clocale>

#include "QXInstallerApp.h"
#include "platform/Text.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(qxplat::FromNarrow(argv[i]));
    return RunInstallerApp(arguments);
}
