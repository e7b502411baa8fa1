#include "app/QXLauncherApp.h"

#include <thread>

#include "app/QXLProcess.h"
#include "base/QXCommandLine.h"
#include "base/QXEvent.h"
#include "platform/LanguageTexts.h"
#include "ui/QXLUserInterface.h"

int CQXLauncherApp::Run(const std::wstring& commandLine, IQXLUserInterface& userInterface) {
    return Run(commandLine, std::nullopt, userInterface);
}

int CQXLauncherApp::Run(const std::vector<std::wstring>& arguments,
                        IQXLUserInterface& userInterface) {
    return Run(QXJoinCommandLine(arguments), arguments, userInterface);
}

int CQXLauncherApp::Run(const std::wstring& commandLine,
                        const std::optional<std::vector<std::wstring>>& arguments,
                        IQXLUserInterface& userInterface) {
    const QXLanguageBase languageBase = QXChooseLanguageBase();
    CQXLProcess process(userInterface.GetProgressWindow(), languageBase, commandLine);
    if (arguments)
        process.SetArguments(*arguments);
    SQXLServices services;
    services.userInterface = &userInterface;
    process.SetServices(services);
    CQXEvent workerDone;
    std::thread worker([&process, &workerDone] {
        process.RunSequence();
        workerDone.Set();
    });
    userInterface.RunMessageLoop(workerDone);
    // The context must outlive the worker, which may still unwind after the finish step.
    worker.join();
    return process.GetExitCode();
}
