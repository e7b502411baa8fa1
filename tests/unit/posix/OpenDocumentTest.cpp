#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/Text.h"
#include "support/Installation.h"
#include "support/TestLog.h"

namespace {

// A stand-in xdg-open first on PATH, which notes every path it is asked to open.
class FakeOpener {
public:
    FakeOpener() {
        std::filesystem::create_directories(m_dir.Path() / "bin");
        const std::filesystem::path script = m_dir.Path() / "bin" / "xdg-open";
        WriteBytes(script, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + Log().string() + "'\n");
        chmod(script.c_str(), 0755);
        m_oldPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
        setenv("PATH", ((m_dir.Path() / "bin").string() + ":" + m_oldPath).c_str(), 1);
    }
    ~FakeOpener() { setenv("PATH", m_oldPath.c_str(), 1); }

    // The paths opened so far, once count of them have arrived (or after ten seconds).
    std::multiset<std::string> Opened(std::size_t count) const {
        std::multiset<std::string> paths;
        for (int wait = 0; wait < 100 && paths.size() < count; ++wait) {
            if (wait > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            paths.clear();
            std::ifstream in(Log());
            for (std::string line; std::getline(in, line);)
                paths.insert(line);
        }
        return paths;
    }

private:
    std::filesystem::path Log() const { return m_dir.Path() / "opened.txt"; }

    TempDir m_dir;
    std::string m_oldPath;
};

// Children of this process named xdg-open that have ended but were never reaped.
int ZombieOpeners() {
    int zombies = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "stat");
        std::string stat;
        if (!std::getline(in, stat))
            continue;
        const std::size_t open = stat.find('(');
        const std::size_t close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        std::istringstream rest(stat.substr(close + 1));
        char state = 0;
        long parent = 0;
        rest >> state >> parent;
        if (stat.substr(open + 1, close - open - 1) == "xdg-open" && state == 'Z' &&
            parent == getpid())
            ++zombies;
    }
    return zombies;
}

} // namespace

// Names of the temp directory get it in front; full paths are opened as they are; the opener
// runs on its own and is reaped when it ends.
TEST(OpenDocument, OpensThroughTheDesktopAndLeavesNoZombie) {
    FakeOpener opener;
    Installation install({});
    CQXLProgramStarter& starter = install.Starter();
    starter.OpenDocument(L"_ReleaseNoteTmp/notes pdf.pdf");
    starter.OpenDocument(L"/srv/notes.pdf");
    starter.OpenDocument(L"C:\\notes.pdf");

    const std::string temp =
        qxplat::ToNarrow(install.Application().InstallationDirectory()) + "_QXLTmp/";
    EXPECT_EQ(opener.Opened(3), (std::multiset<std::string>{temp + "_ReleaseNoteTmp/notes pdf.pdf",
                                                            "/srv/notes.pdf", "C:\\notes.pdf"}));
    int zombies = ZombieOpeners();
    for (int wait = 0; wait < 50 && zombies > 0; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        zombies = ZombieOpeners();
    }
    EXPECT_EQ(zombies, 0);
}
