#include "app/QXLauncherApp.h"

#include <thread>

#include "app/QXLProcess.h"
#include "ui/QXLanguage.h"

int CQXLauncherApp::Run(const std::wstring& commandLine, IQXLUserInterface& userInterface) {
    const QXLanguageBase languageBase = QXChooseLanguageBase();
    CQXLProcess process(nullptr, languageBase, commandLine);
    process.GetFileList().SetUserInterface(&userInterface);
    std::thread worker([&process] { process.RunSequence(); });
    // The context must outlive the worker, which may still unwind after the finish step.
    worker.join();
    return process.GetExitCode();
}
