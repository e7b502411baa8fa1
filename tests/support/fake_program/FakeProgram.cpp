// A stand-in for the programs the launcher starts (the installer, the primary application),
// copied into a test installation under their names. It appends its arguments, one line per
// start, to "<name>-args.txt" beside itself. When "<name>-verdict.txt" lies there too, it acts
// as the installer: the file holds a pause in milliseconds and either the verdict's bytes in
// hex, which it then sends on the installer pipe, or "exit" to end without connecting.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/InstallerPipe.h"
#include "platform/System.h"

namespace fs = std::filesystem;

namespace {

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    const fs::path self(qxplat::ModulePath());
    const fs::path stem = self.parent_path() / self.stem();
    {
        std::ofstream args(stem.string() + "-args.txt", std::ios::app | std::ios::binary);
        for (int i = 1; i < argc; ++i)
            args << (i > 1 ? " " : "") << argv[i];
        args << "\n";
    }
    std::ifstream script(stem.string() + "-verdict.txt");
    long long pause = 0;
    std::string action;
    if (!(script >> pause >> action))
        return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    if (action == "exit")
        return 0;
    return qxplat::SendInstallerVerdict(FromHex(action), std::chrono::seconds(20)) ? 0 : 1;
}
