// The other end of the installer pipe in tests, started as a program of its own:
//   verdict <name>  sends "ok" (STX END), "trailing" (STX END and text) or "failed" (a text)
//   connect         connects, then ends without writing
//   exit            ends at once
//   sleep <ms>      waits, then ends
//   serve <file>    creates the launcher's end, writes file, holds the pipe until file is gone
#include "support/pipe_peer/PipePeer.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/InstallerPipe.h"

namespace {

constexpr std::chrono::milliseconds kTimeout{30000};

std::string Verdict(const std::string& name) {
    if (name == "ok")
        return std::string("\x02") + "END";
    if (name == "trailing")
        return std::string("\x02") + "END and more text";
    return "Move failed: app.exe";
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const std::string value = argc > 2 ? argv[2] : "";
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
        std::FILE* ready = std::fopen(value.c_str(), "wb");
        if (ready == nullptr)
            return 2;
        std::fclose(ready);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
        while (std::filesystem::exists(value) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return 0;
    }
    return mode == "exit" ? 0 : 3;
}
