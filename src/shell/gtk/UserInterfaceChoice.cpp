#include "shell/gtk/UserInterfaceChoice.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "log/QXLLog.h"
#include "platform/LanguageTexts.h"
#include "platform/Text.h"
#include "shell/gtk/QXLGtkUserInterface.h"
#include "ui/QXLScriptedUserInterface.h"

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

int RefuseToStart(const std::wstring& reason) {
    std::fprintf(stderr, "QXLauncher: %s\n", qxplat::ToNarrow(reason).c_str());
    CQXLLog log;
    log.SetTag(L"QXLauncher");
    log.LogError(L"EXIT : %s", reason);
    return 1;
}

// What an unattended run showed, for whoever looks after it: one line per message box,
// "box " and its text (line breaks written as \n), in UTF-8.
void RecordBoxes(const CQXLScriptedUserInterface& userInterface, const char* path) {
    std::string lines;
    for (const SQXLMessageBoxRecord& box : userInterface.MessageBoxes()) {
        std::wstring text;
        for (wchar_t c : box.text)
            text += c == L'\n' ? std::wstring(L"\\n") : std::wstring(1, c);
        lines += "box " + qxplat::ToNarrow(text) + "\n";
    }
    if (std::FILE* out = std::fopen(path, "ab")) {
        std::fwrite(lines.data(), 1, lines.size(), out);
        std::fclose(out);
    }
}

int RunScripted(const std::function<int(IQXLUserInterface&)>& run) {
    CQXLScriptedUserInterface userInterface;
    if (IsSet("QXLAUNCHER_UI_SCRIPT")) {
        const std::wstring script = qxplat::FromNarrow(std::getenv("QXLAUNCHER_UI_SCRIPT"));
        std::wstring error;
        if (!userInterface.LoadResponseFile(script, &error))
            return RefuseToStart(L"cannot play the response file " + script + L": " + error);
    }
    const int exitCode = run(userInterface);
    if (IsSet("QXLAUNCHER_UI_RECORD"))
        RecordBoxes(userInterface, std::getenv("QXLAUNCHER_UI_RECORD"));
    return exitCode;
}

} // namespace

int QXLRunWithChosenInterface(const std::function<int(IQXLUserInterface&)>& run) {
    const char* backend = std::getenv("QXLAUNCHER_UI");
    if (backend != nullptr && std::strcmp(backend, "scripted") == 0)
        return RunScripted(run);
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY"))
        return RefuseToStart(L"no display to show the windows on (neither DISPLAY nor "
                             L"WAYLAND_DISPLAY is set); set QXLAUNCHER_UI=scripted to run "
                             L"without windows");
    auto userInterface = CQXLGtkUserInterface::Create(QXChooseLanguageBase());
    if (!userInterface)
        return RefuseToStart(L"cannot open the display to show the windows on");
    return run(*userInterface);
}
