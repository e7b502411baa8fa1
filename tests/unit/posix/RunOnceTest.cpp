#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>

#include "support/TestLog.h"
#include "update/QXLBatchGenerator.h"

extern char** environ;

namespace {

// The autostart folder under a temp XDG_CONFIG_HOME: the user's own is never touched.
class AutostartTest : public ::testing::Test {
protected:
    AutostartTest() {
        if (const char* old = std::getenv("XDG_CONFIG_HOME"))
            m_oldConfig = old;
        UseConfig(m_dir.Path() / "config");
    }
    ~AutostartTest() override {
        if (m_oldConfig)
            setenv("XDG_CONFIG_HOME", m_oldConfig->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    static void UseConfig(const std::filesystem::path& path) {
        setenv("XDG_CONFIG_HOME", path.c_str(), 1);
    }
    std::filesystem::path Entry() const {
        return m_dir.Path() / "config" / "autostart" / "QXLauncher.desktop";
    }

    TempDir m_dir;
    TestLog m_log;
    std::optional<std::string> m_oldConfig;
};

// The value of a desktop entry's key, with the string escapes of the format undone.
std::string DesktopValue(const std::string& text, const std::string& key) {
    const std::size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + key.size() + 2;
    const std::string raw = text.substr(start, text.find('\n', start) - start);
    std::string value;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            value += raw[i];
            continue;
        }
        const char c = raw[++i];
        value += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
    }
    return value;
}

// The arguments of an Exec value, as a desktop environment splits and unquotes them.
std::vector<std::string> ExecArguments(const std::string& exec) {
    std::vector<std::string> arguments;
    std::size_t i = 0;
    while (i < exec.size()) {
        while (i < exec.size() && exec[i] == ' ')
            ++i;
        if (i == exec.size())
            break;
        std::string argument;
        if (exec[i] == '"') {
            for (++i; i < exec.size() && exec[i] != '"'; ++i) {
                if (exec[i] == '\\')
                    ++i;
                argument += exec[i];
            }
            ++i;
        } else {
            while (i < exec.size() && exec[i] != ' ')
                argument += exec[i++];
        }
        arguments.push_back(argument);
    }
    return arguments;
}

int RunAndWait(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST_F(AutostartTest, EntryStartsTheInstallerOnceAndRemovesItself) {
    // Blanks, quotes and dollars in the folder must reach the program unchanged.
    const std::filesystem::path installation = m_dir.Path() / "my \"app\" $HOME";
    std::filesystem::create_directories(installation);
    WriteBytes(installation / "QXInstaller",
               "#!/bin/sh\necho ran > \"$(dirname \"$0\")/marker\"\n");
    std::filesystem::permissions(installation / "QXInstaller", std::filesystem::perms::owner_all);

    CQXLBatchGenerator batch(m_log.Log());
    batch.AddDst(installation.wstring());
    ASSERT_EQ(batch.RegisterRunOnce(), 1);

    const std::string text = ReadBytes(Entry());
    EXPECT_EQ(text.rfind("[Desktop Entry]\nType=Application\nName=QXLauncher\n", 0), 0u) << text;
    EXPECT_NE(text.find("\nNoDisplay=true\n"), std::string::npos);
    const std::vector<std::string> command = ExecArguments(DesktopValue(text, "Exec"));
    ASSERT_EQ(command.size(), 5u) << text;
    EXPECT_EQ(command[3], Entry().string());
    EXPECT_EQ(command[4], (installation / "QXInstaller").string());

    EXPECT_EQ(RunAndWait(command), 0);
    EXPECT_EQ(ReadBytes(installation / "marker"), "ran\n");
    EXPECT_FALSE(std::filesystem::exists(Entry()));
}

TEST_F(AutostartTest, RegisteringAgainReplacesTheEntry) {
    CQXLBatchGenerator first(m_log.Log());
    first.AddDst(L"/opt/one/");
    ASSERT_EQ(first.RegisterRunOnce(), 1);
    CQXLBatchGenerator second(m_log.Log());
    second.AddDst(L"/opt/two/");
    ASSERT_EQ(second.RegisterRunOnce(), 1);
    const std::string text = ReadBytes(Entry());
    EXPECT_EQ(text.find("/opt/one/"), std::string::npos);
    EXPECT_NE(text.find("/opt/two/QXInstaller"), std::string::npos);
}

TEST_F(AutostartTest, UnusableFolderIsLoggedAndFails) {
    WriteBytes(m_dir.Path() / "file", "not a folder");
    UseConfig(m_dir.Path() / "file" / "config");
    CQXLBatchGenerator batch(m_log.Log());
    batch.AddDst(L"/opt/app/");
    EXPECT_EQ(batch.RegisterRunOnce(), 0);
    EXPECT_TRUE(m_log.Contains("Unable to open runonce reg key : 20")); // ENOTDIR
}
