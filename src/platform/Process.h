#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Programs the launcher starts and the windows it looks for.
namespace qxplat {

// A started program. Move-only; closing it does not end the program.
class Process {
public:
    struct Handle;
    explicit Process(std::unique_ptr<Handle> handle);
    Process(Process&&) noexcept;
    Process& operator=(Process&&) noexcept;
    ~Process();

    unsigned long Id() const;
    // False once the program has ended.
    bool IsRunning() const;
    // Waits until the program has ended or the time is up; its exit code when it ended.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout) const;

private:
    std::unique_ptr<Handle> m_handle;
};

// Starts a program without a console window, with the launcher's environment and current
// directory. commandLine is the whole line as Windows hands it to the program; arguments is
// the same line as the program reads it (the program first), which POSIX starts. On
// Linux a program named "x.exe" that does not exist is started as "x". nullopt on failure,
// with LastError() telling why.
std::optional<Process> StartProcess(const std::wstring& commandLine,
                                    const std::vector<std::wstring>& arguments);

// True when a top-level window of className exists (Windows: the window class; X11: the
// class part of WM_CLASS).
bool WindowOfClassExists(const std::wstring& className);

// Opens path with the program that the desktop associates with it, without waiting.
void OpenDocument(const std::wstring& path);

} // namespace qxplat
