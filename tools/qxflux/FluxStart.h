#pragma once

#include <filesystem>
#include <string>
#include <vector>

// What the sample application knows of its start: the command line, the session that the
// launcher hands over as "-CS <session>,<user>", the version of its installation and the
// test switch "--close-after MS". Texts are UTF-8.
struct SFluxStart {
    std::string commandLine;
    std::vector<std::string> arguments; // without the program itself
    std::string session;
    std::string user;
    std::string version;
    int closeAfterMs = 0; // 0: stays until closed
};

// The class of the main window, which the launcher waits for.
inline constexpr char kFluxWindowClass[] = "QXFluxWindowClassName";

// Reads the start from the arguments and the version file "qxflux.version" in
// programDirectory (its first line; "unknown" without one).
SFluxStart ReadFluxStart(const std::string& commandLine, const std::vector<std::string>& arguments,
                         const std::filesystem::path& programDirectory);

// The text the main window shows.
std::string FluxSummary(const SFluxStart& start);

// Writes the command line, the version, the session, the user and each argument, one a line
// ("name: value"), to path.
void WriteFluxReport(const SFluxStart& start, const std::filesystem::path& path);
