#pragma once

#include <optional>
#include <string>
#include <vector>

class IQXLUserInterface;

// The application object: chooses the language, builds the launcher context, runs the main
// sequence on a worker thread while the main thread pumps the windows' messages, and gives
// back the context's exit code.
class CQXLauncherApp {
public:
    // commandLine holds the arguments without the program path, as Windows hands them over;
    // userInterface shows the run's windows and answers the questions of its requests. Call
    // on the main thread. Returns the exit code.
    int Run(const std::wstring& commandLine, IQXLUserInterface& userInterface);
    // The same for systems that hand over a list (without the program): the list is read as
    // it is, since some arguments cannot survive a joined command line.
    int Run(const std::vector<std::wstring>& arguments, IQXLUserInterface& userInterface);

private:
    int Run(const std::wstring& commandLine,
            const std::optional<std::vector<std::wstring>>& arguments,
            IQXLUserInterface& userInterface);
};
