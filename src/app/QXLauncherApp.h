#pragma once

#include <string>

class IQXLUserInterface;

// The application object: chooses the language, builds the launcher context, runs the main
// sequence on a worker thread and gives back the context's exit code.
class CQXLauncherApp {
public:
    // commandLine holds the arguments without the program path; userInterface shows the run's
    // message boxes and answers the questions of its requests. Returns the exit code.
    int Run(const std::wstring& commandLine, IQXLUserInterface& userInterface);
};
