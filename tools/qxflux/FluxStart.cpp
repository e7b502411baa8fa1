#include "FluxStart.h"

#include <cstdlib>
#include <fstream>

namespace {

std::string ReadVersion(const std::filesystem::path& directory) {
    std::ifstream file(directory / "qxflux.version", std::ios::binary);
    std::string line;
    if (!std::getline(file, line))
        return "unknown";
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    return line.empty() ? "unknown" : line;
}

std::string OrNone(const std::string& text) { return text.empty() ? "(none)" : text; }

} // namespace

SFluxStart ReadFluxStart(const std::string& commandLine, const std::vector<std::string>& arguments,
                         const std::filesystem::path& programDirectory) {
    SFluxStart start;
    start.commandLine = commandLine;
    start.arguments = arguments;
    start.version = ReadVersion(programDirectory);
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
        const std::string& value = arguments[i + 1];
        if (arguments[i] == "-CS") {
            const std::size_t comma = value.find(',');
            start.session = value.substr(0, comma);
            start.user = comma == std::string::npos ? std::string() : value.substr(comma + 1);
        } else if (arguments[i] == "--close-after") {
            start.closeAfterMs = std::atoi(value.c_str());
        }
    }
    return start;
}

std::string FluxSummary(const SFluxStart& start) {
    std::string text = "User: " + OrNone(start.user) + "\nSession: " + OrNone(start.session) +
                       "\nVersion: " + start.version + "\n\nArguments:";
    for (const std::string& argument : start.arguments)
        text += "\n    " + argument;
    return text;
}

void WriteFluxReport(const SFluxStart& start, const std::filesystem::path& path) {
    // Written aside and renamed, so that a reader never sees half of it.
    std::filesystem::path partial = path;
    partial += ".partial";
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        file << "command line: " << start.commandLine << "\nversion: " << start.version
             << "\nsession: " << start.session << "\nuser: " << start.user << '\n';
        for (const std::string& argument : start.arguments)
            file << "argument: " << argument << '\n';
    }
    std::error_code ignored;
    std::filesystem::rename(partial, path, ignored);
}
