#include "platform/RunOnce.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

#include "platform/Text.h"

namespace qxplat {

namespace {

std::string AutostartFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/autostart";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config/autostart";
}

// mkdir -p, keeping errno of the first level that fails.
bool MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string level = path.substr(0, slash);
        if (mkdir(level.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

// One argument of a desktop entry's Exec key: quoted, with the characters that stay special
// inside quotes escaped, then with the backslashes of the string escaped once more.
std::string ExecArgument(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string escaped;
    for (char c : quoted) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

} // namespace

RunOnceResult SetRunOnceEntry(const std::wstring& name, const std::wstring& program,
                              unsigned long& error) {
    const std::string folder = AutostartFolder();
    if (!MakeFolders(folder)) {
        error = static_cast<unsigned long>(errno);
        return RunOnceResult::PlaceFailed;
    }
    const std::string entry = folder + "/" + ToNarrow(name) + ".desktop";
    // The entry goes first, so that the program runs only once whatever becomes of it.
    const std::string command = "rm -f -- \"$0\"; exec \"$1\"";
    std::ofstream out(entry, std::ios::binary | std::ios::trunc);
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=" << ToNarrow(name) << "\n"
        << "Comment=Completes an update once at this login\n"
        << "Exec=/bin/sh -c " << ExecArgument(command) << " " << ExecArgument(entry) << " "
        << ExecArgument(ToNarrow(program)) << "\n"
        << "NoDisplay=true\n"
        << "X-GNOME-Autostart-enabled=true\n";
    out.close();
    if (!out) {
        error = static_cast<unsigned long>(errno != 0 ? errno : EIO);
        return RunOnceResult::EntryFailed;
    }
    return RunOnceResult::Written;
}

std::wstring ProgramFileName(const std::wstring& base) { return base; }

} // namespace qxplat
