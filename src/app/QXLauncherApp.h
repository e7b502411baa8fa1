#pragma once

#include <string>

// The application object: chooses the language, builds the launcher context, runs the main
// sequence on a worker thread and gives back the context's exit code.
class CQXLauncherApp {
public:
    // commandLine holds the arguments without the program path. Returns the exit code.
    int Run(const std::wstring& commandLine);
};
