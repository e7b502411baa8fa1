// The other end of the installer pipe in tests, started as a program of its own:
//   verdict <name>  sends "ok" (STX END), "trailing" (STX END and text) or "failed" (a text)
//   connect         connects, then ends without writing
//   exit            ends at once
//   sleep <ms>      waits, then ends
//   serve <file>    creates the launcher's end, writes file, holds the pipe until file is gone
// It also stands in for the programs that the installer starts:
//   (no argument)   ends with exit code 0
//   exit <code>     ends with that exit code
//   record <file> ...  writes the arguments after file, one a line, to file
//   -SID:...        writes every argument to its own path + ".args" (the launcher started again)
#include "support/pipe_peer/PipePeer.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/InstallerPipe.h"
#include "platform/System.h"

namespace {

constexpr std::chrono::milliseconds kTimeout{30000};

std::string Verdict(const std::string& name) {
    if (name == "ok")
        return std::string("\x02") + "END";
    if (name == "trailing")
        return std::string("\x02") + "END and more text";
    return "Move failed: app.exe";
}

int Record(const std::filesystem::path& done, int argc, char** argv, int first) {
    std::string text;
    for (int i = first; i < argc; ++i)
        text += std::string(argv[i]) + "\n";
    std::filesystem::path partial = done;
    partial += ".partial";
    // Written aside and renamed, so that a reader never sees half of it.
    std::FILE* file = std::fopen(partial.string().c_str(), "wb");
    if (file == nullptr)
        return 4;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    std::error_code error;
    std::filesystem::rename(partial, done, error);
    return error ? 4 : 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const std::string value = argc > 2 ? argv[2] : "";
    if (mode.empty())
        return 0;
    if (mode == "exit")
        return std::stoi(value);
    if (mode == "record")
        return Record(value, argc, argv, 3);
    if (mode.compare(0, 5, "-SID:") == 0)
        return Record(qxplat::ModulePath() + L".args", argc, argv, 1);
    if (mode == "verdict")
        return qxplat::SendInstallerVerdict(Verdict(value), kTimeout) ? 0 : 1;
    if (mode == "connect")
        return ConnectWithoutWriting(kTimeout) ? 0 : 1;
    if (mode == "sleep") {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(value)));
        return 0;
    }
    if (mode == "serve") {
        auto server = qxplat::InstallerPipeServer::Create();
        if (!server)
            return 2;
        // Written aside and renamed: the test removes the file as soon as it sees it, which
        // Windows refuses while it is still open here.
        const std::string aside = value + ".tmp";
        std::FILE* ready = std::fopen(aside.c_str(), "wb");
        if (ready == nullptr)
            return 2;
        std::fclose(ready);
        std::filesystem::rename(aside, value);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
        while (std::filesystem::exists(value) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return 0;
    }
    return mode == "exit" ? 0 : 3;
}
