#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/InstallerPipe.h"
#include "platform/Text.h"
#include "support/TempDir.h"

// Where the Linux end of the installer pipe lives: a folder only this user may enter, in the
// runtime directory or, without one, in the home folder; a socket file a killed launcher left is
// replaced.
namespace {

class InstallerSocketTest : public ::testing::Test {
protected:
    InstallerSocketTest() {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
            m_oldRuntime = old;
        setenv("XDG_RUNTIME_DIR", m_dir.Path().c_str(), 1);
    }
    ~InstallerSocketTest() override {
        if (m_oldRuntime)
            setenv("XDG_RUNTIME_DIR", m_oldRuntime->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }

    std::filesystem::path Folder() const { return m_dir.Path() / "qxlauncher"; }

    TempDir m_dir;
    std::optional<std::string> m_oldRuntime;
};

mode_t ModeOf(const std::filesystem::path& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

} // namespace

TEST_F(InstallerSocketTest, ReplacesAStaleSocketButNotAServerThatIsAlive) {
    // A launcher killed while it waited leaves its socket file, with nobody listening.
    ASSERT_EQ(mkdir(Folder().c_str(), 0700), 0);
    const std::string path = (Folder() / "qxinstallerpipe").string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int stale = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    ASSERT_EQ(bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    close(stale);
    ASSERT_TRUE(std::filesystem::exists(path));

    auto server = qxplat::InstallerPipeServer::Create();
    ASSERT_TRUE(server);
    EXPECT_EQ(ModeOf(Folder()), 0700u);
    EXPECT_FALSE(qxplat::InstallerPipeServer::Create()); // this one is alive
    server.reset();
    EXPECT_FALSE(std::filesystem::exists(path)); // a server removes its socket when it goes
    EXPECT_TRUE(qxplat::InstallerPipeServer::Create());
}

TEST_F(InstallerSocketTest, UsesOnlyAFolderOfThisUserThatNobodyElseMayEnter) {
    ASSERT_EQ(mkdir(Folder().c_str(), 0755), 0);
    EXPECT_FALSE(qxplat::InstallerPipeServer::Create());
    EXPECT_EQ(qxplat::ToNarrow(qxplat::InstallerPipeProblem()),
              Folder().string() + " lets other users in (mode 0755)");
    EXPECT_FALSE(qxplat::SendInstallerVerdict("\x02"
                                              "END",
                                              std::chrono::milliseconds(0)));
    ASSERT_EQ(rmdir(Folder().c_str()), 0);
    ASSERT_EQ(symlink(m_dir.Path().c_str(), Folder().c_str()), 0);
    EXPECT_FALSE(qxplat::InstallerPipeServer::Create());
    ASSERT_EQ(unlink(Folder().c_str()), 0);

    // Without a runtime directory: a folder in this user's home, never one in /tmp that
    // another user may have made first.
    unsetenv("XDG_RUNTIME_DIR");
    const std::filesystem::path fallback =
        std::string(getpwuid(geteuid())->pw_dir) + "/.qxlauncher";
    const bool existed = std::filesystem::exists(fallback);
    {
        auto server = qxplat::InstallerPipeServer::Create();
        if (!server && errno == EADDRINUSE)
            GTEST_SKIP() << "a launcher of this user is waiting for its installer";
        ASSERT_TRUE(server) << qxplat::ToNarrow(qxplat::InstallerPipeProblem());
        EXPECT_EQ(ModeOf(fallback), 0700u);
        EXPECT_TRUE(std::filesystem::exists(fallback / "qxinstallerpipe"));
    }
    if (!existed)
        std::filesystem::remove_all(fallback);
}
