#include "platform/InstallerPipe.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#include "platform/System.h"
#include "platform/Text.h"
#include "support/TempDir.h"

// The launcher's end of the installer pipe against a real second program (the pipe peer)
// playing the installer, or playing an intruder.
namespace {

using namespace std::chrono_literals;
using qxplat::InstallerPipeServer;

// Beside this test program, with its extension.
std::wstring PeerPath() {
    const std::filesystem::path self = qxplat::ModulePath();
    return (self.parent_path() / (L"qx_pipe_peer" + self.extension().wstring())).wstring();
}

qxplat::Process StartPeer(const std::vector<std::wstring>& arguments) {
    std::vector<std::wstring> all{PeerPath()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::wstring line = L"\"" + PeerPath() + L"\"";
    for (const auto& argument : arguments)
        line += L" " + argument;
    auto process = qxplat::StartProcess(line, all);
    if (!process)
        throw std::runtime_error("cannot start the pipe peer");
    return std::move(*process);
}

// Waits for the peer and ends it when it is still running at the test's end.
struct Peer {
    explicit Peer(const std::vector<std::wstring>& arguments) : process(StartPeer(arguments)) {}
    ~Peer() { process.WaitForExit(30s); }
    qxplat::Process process;
};

} // namespace

TEST(InstallerPipeTest, ReadsTheInstallersVerdictAsSent) {
    for (const auto& [name, expected] : {std::pair<std::wstring, std::string>{L"ok", "\x02"
                                                                                     "END"},
                                         {L"trailing", "\x02"
                                                       "END and more text"},
                                         {L"failed", "Move failed: app.exe"}}) {
        auto server = InstallerPipeServer::Create();
        ASSERT_TRUE(server);
        Peer installer({L"verdict", name});
        ASSERT_EQ(server->WaitForClient(installer.process, 30s),
                  InstallerPipeServer::Wait::Connected);
        EXPECT_EQ(server->LastClientId(), installer.process.Id());
        // The installer may well have ended before the launcher reads: its verdict stays.
        EXPECT_EQ(installer.process.WaitForExit(30s), 0);
        std::string message;
        ASSERT_TRUE(server->ReadMessage(installer.process, message));
        EXPECT_EQ(message, expected);
    }
}

TEST(InstallerPipeTest, WaitsEndWhenTheInstallerEndsWithoutAVerdict) {
    {
        auto server = InstallerPipeServer::Create();
        ASSERT_TRUE(server);
        Peer installer({L"exit"});
        // Far sooner than the time-out: the test would otherwise run for minutes.
        EXPECT_EQ(server->WaitForClient(installer.process, 600s),
                  InstallerPipeServer::Wait::Exited);
    }
    {
        auto server = InstallerPipeServer::Create();
        ASSERT_TRUE(server);
        Peer installer({L"connect"});
        ASSERT_EQ(server->WaitForClient(installer.process, 30s),
                  InstallerPipeServer::Wait::Connected);
        std::string message;
        EXPECT_FALSE(server->ReadMessage(installer.process, message));
    }
    {
        auto server = InstallerPipeServer::Create();
        ASSERT_TRUE(server);
        Peer installer({L"sleep", L"1500"});
        EXPECT_EQ(server->WaitForClient(installer.process, 200ms),
                  InstallerPipeServer::Wait::TimedOut);
    }
}

TEST(InstallerPipeTest, RefusesAPipeTakenFirstAndAClientThatIsNotTheInstaller) {
    {
        TempDir dir;
        const std::filesystem::path ready = dir.Path() / "ready";
        Peer squatter({L"serve", ready.wstring()});
        while (!std::filesystem::exists(ready) && squatter.process.IsRunning())
            std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(squatter.process.IsRunning());
        EXPECT_FALSE(InstallerPipeServer::Create());
        std::filesystem::remove(ready); // lets the squatter end
    }
    // This test program, which is not the installer it started, connects and writes first.
    auto server = InstallerPipeServer::Create();
    ASSERT_TRUE(server);
    ASSERT_TRUE(qxplat::SendInstallerVerdict("\x02"
                                             "END from an intruder",
                                             30s));
    Peer installer({L"verdict", L"failed"});
    EXPECT_EQ(server->WaitForClient(installer.process, 30s), InstallerPipeServer::Wait::Refused);
    EXPECT_EQ(server->LastClientId(), qxplat::CurrentProcessId());
    std::string message;
    EXPECT_FALSE(server->ReadMessage(installer.process, message));
    // The installer still gets through, and only its own verdict is read.
    ASSERT_EQ(server->WaitForClient(installer.process, 30s), InstallerPipeServer::Wait::Connected);
    ASSERT_TRUE(server->ReadMessage(installer.process, message));
    EXPECT_EQ(message, "Move failed: app.exe");
}
