#pragma once

#include <chrono>
#include <filesystem>
#include <string>

// The stand-in program (support/fake_program) copied into a test installation under the name
// of a program the launcher starts. It records its arguments in "<stem>-args.txt" and, with a
// script in "<stem>-verdict.txt", answers on the installer pipe like the installer.

// stem with the platform's program extension ("QXInstaller" gives "QXInstaller.exe" on
// Windows).
std::string FakeProgramName(const std::string& stem);

// Copies the stand-in into folder as stem; a non-empty script is written beside it.
void PlaceFakeProgram(const std::filesystem::path& folder, const std::string& stem,
                      const std::string& script = "");
inline void PlaceFakeInstaller(const std::filesystem::path& folder, const std::string& script) {
    PlaceFakeProgram(folder, "QXInstaller", script);
}

// Scripts: send verdict's bytes after pauseMs, or end without connecting after pauseMs.
std::string FakeVerdictScript(int pauseMs, const std::string& verdict);
std::string FakeExitScript(int pauseMs = 0);

// The arguments of each start of stem so far, one line per start; empty before any start.
std::string FakeArguments(const std::filesystem::path& folder, const std::string& stem);
// Waits up to 30 s for stem's first start to be recorded.
bool WaitForFakeArguments(const std::filesystem::path& folder, const std::string& stem);
