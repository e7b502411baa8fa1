#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#include "app/QXLProgramStarter.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "support/TestLog.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

constexpr int kRecorderExitCode = 7;

// Records the pauses asked for instead of sleeping.
class RecordingClock : public IQXLClock {
public:
    void Sleep(milliseconds duration) override { sleeps.push_back(duration); }
    std::vector<milliseconds> sleeps;
};

std::wstring Table(const std::wstring& header, const std::wstring& rows) {
    return L"COLONNES=" + header + L"\r\nTBLDATBEGIN_99\r\n" + rows + L"TBLDATEND_99";
}

// The launcher's file list in an installation folder of its own, with a session, and the
// test program that records its arguments to install under any name.
class ProgramsTest : public ::testing::Test {
protected:
    ProgramsTest() {
        m_application.Files().SetInstallationDirectory(m_dir.Path().wstring());
        m_starter.SetClock(&m_clock);
        m_server.SetSessionId(L"S123");
        m_server.SetSessionUserName(L"jdoe");
        m_application.Info().ApplicationName = L"Flux";
        m_application.Info().Version = L"2.0";
        SetPrimary(L"--", L"--");
    }

    void SetPrimary(const std::wstring& name, const std::wstring& parameters) {
        ASSERT_TRUE(m_server.ReadPrimaryApplication(
            Table(L"PrimaryName|S;PrimaryParameters|S;", name + L"\t" + parameters + L"\r\n")));
    }

    // Puts the recorder at directory/stem plus this platform's program extension.
    static fs::path Install(const fs::path& directory, const std::wstring& stem) {
        const fs::path recorder =
            fs::path(qxplat::ModulePath()).parent_path() / QX_ARGS_RECORDER_NAME;
        const fs::path target = directory / (stem + QX_EXE_SUFFIX);
        fs::create_directories(target.parent_path());
        fs::copy_file(recorder, target);
        return target;
    }
    fs::path Install(const std::wstring& stem) const { return Install(m_dir.Path(), stem); }

    // The arguments the recorder at program received, once it has written them.
    static std::vector<std::wstring> ArgumentsOf(const fs::path& program) {
        fs::path file = program;
        file += ".args";
        for (int i = 0; i < 1500 && !fs::exists(file); ++i)
            std::this_thread::sleep_for(milliseconds(20));
        std::vector<std::wstring> arguments;
        const std::wstring text = qxplat::FromLogText(ReadBytes(file));
        for (std::size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos;
             start = end + 1)
            arguments.push_back(text.substr(start, end - start));
        return arguments;
    }

    // Waits for the last program started to end; its exit code.
    std::optional<int> WaitForLastStarted() const {
        if (!m_starter.LastStarted())
            return std::nullopt;
        return m_starter.LastStarted()->WaitForExit(milliseconds(30000));
    }

    // The last command line the log shows.
    std::wstring LoggedCommandLine() const {
        const std::string text = m_log.Text();
        const std::string marker = "Command line : ";
        const std::size_t start = text.rfind(marker);
        if (start == std::string::npos)
            return L"(none)";
        const std::size_t from = start + marker.size();
        return qxplat::FromLogText(text.substr(from, text.find("\r\n", from) - from));
    }

    std::wstring Directory() const { return m_dir.Path().wstring() + qxplat::kPathSeparator; }

    TempDir m_dir;
    TestLog m_log;
    RecordingClock m_clock;
    CQXUrlParser m_configuration;
    CQXLApplication m_application{m_log.Log(), m_configuration};
    CQXLBatchGenerator m_instructions{m_log.Log()};
    CQXLServerClient m_server{m_log.Log(), kQXEnglishBase, m_configuration, m_application,
                              m_instructions};
    CQXLProgramStarter m_starter{m_log.Log(), m_application, m_server};
};

using Arguments = std::vector<std::wstring>;

TEST_F(ProgramsTest, DefaultPrimaryGetsTheSessionAlone) {
    const fs::path program = Install(L"qxflux");
    EXPECT_EQ(m_starter.StartPrimaryApplication(L""), 1);
    EXPECT_EQ(LoggedCommandLine(), L"\"" + Directory() + L"qxflux.exe\" -CS S123,jdoe ");
    EXPECT_EQ(ArgumentsOf(program), (Arguments{L"-CS", L"S123,jdoe"}));
    EXPECT_EQ(WaitForLastStarted(), kRecorderExitCode);
    EXPECT_TRUE(m_log.Contains("No primary application, starting qxflux"));
    EXPECT_TRUE(m_log.Contains("Process qxflux.exe launched"));
    EXPECT_FALSE(m_log.Contains("deskbar"));
    EXPECT_EQ(m_clock.sleeps, std::vector<milliseconds>{milliseconds(1000)});
}

TEST_F(ProgramsTest, DefaultPrimaryGetsCredentialsParametersAndDeskBar) {
    const fs::path program = Install(L"qxflux");
    m_server.SetProxyUserName(L"proxy user");
    m_server.SetProxyPassword(L"p\"w -x");
    m_server.SetServerLogin(L"srv");
    m_server.SetServerPassword(L"a\\b\"c");
    SetPrimary(L"--", L"-v $VERSION$");
    m_application.Info().StartBureauByDefault = 1;

    EXPECT_EQ(m_starter.StartDefaultPrimary(L"--"), 1);
    EXPECT_EQ(ArgumentsOf(program),
              (Arguments{L"-CS", L"S123,jdoe", L"-proxyLogin", L"proxy user", L"-proxyPassword",
                         L"p\"w -x", L"-serverLogin", L"srv", L"-serverPassword", L"a\\b\"c", L"-v",
                         L"2.0", L"-b"}));
    EXPECT_EQ(LoggedCommandLine(), L"\"" + Directory() +
                                       L"qxflux.exe\" -CS S123,jdoe -proxyLogin \"proxy user\" "
                                       L"-proxyPassword *** -serverLogin \"srv\" "
                                       L"-serverPassword *** -v 2.0 -b");
    EXPECT_TRUE(m_log.Contains("Add parameter to qxflux to start deskbar"));
    EXPECT_EQ(WaitForLastStarted(), kRecorderExitCode);
}

TEST_F(ProgramsTest, CredentialsArriveAsTheyAre) {
    const fs::path program = Install(L"qxflux");
    const std::wstring values[][4] = {
        {L"ab\\", L"a\\\"b", L"two words", L"trail\\\\"},
        {L"\\\\server\\share\\", L"say \"hi\" \\", L"a\\\\\"b c", L"\""},
        {L"\\", L"x\\\\\\\"y", L"\t\" -x \"", L"end\\ "},
    };
    for (const auto& value : values) {
        m_server.SetProxyUserName(value[0]);
        m_server.SetProxyPassword(value[1]);
        m_server.SetServerLogin(value[2]);
        m_server.SetServerPassword(value[3]);
        fs::remove(program.wstring() + L".args");
        EXPECT_EQ(m_starter.StartDefaultPrimary(L"--"), 1);
        // Read once the program has ended: under Wine its rename may still hold the file.
        EXPECT_EQ(WaitForLastStarted(), kRecorderExitCode);
        EXPECT_EQ(ArgumentsOf(program),
                  (Arguments{L"-CS", L"S123,jdoe", L"-proxyLogin", value[0], L"-proxyPassword",
                             value[1], L"-serverLogin", value[2], L"-serverPassword", value[3]}));
    }
}

TEST_F(ProgramsTest, PlaceholderValuesNeverAddArgumentsOrCommands) {
    const fs::path tool = Install(L"tool");
    const struct {
        const wchar_t* user;
        const wchar_t* arguments;
        Arguments expected;
    } started[] = {
        {L"Jean Dupont", L"-CS $SESSIONID$,$USERNAME$", {L"-CS", L"S123,Jean Dupont"}},
        {L"dom\\jean\\", L"\"$USERNAME$\" -next", {L"dom\\jean\\", L"-next"}},
        {L"a&b|c%d", L"-u=$USERNAME$", {L"-u=a&b|c%d"}},
        {L" lead\\ ", L"x$USERNAME$y", {L"x lead\\ y"}},
        {L"", L"-u $USERNAME$ -v", {L"-u", L"", L"-v"}},
        {L"$APPLICATIONNAME$ $VERSION$", L"$USERNAME$", {L"Flux 2.0"}},
    };
    for (const auto& c : started) {
        m_server.SetSessionUserName(c.user);
        fs::remove(tool.wstring() + L".args");
        EXPECT_EQ(m_starter.LaunchProcess(L"tool.exe", std::wstring(c.arguments)), 1);
        EXPECT_EQ(WaitForLastStarted(), kRecorderExitCode);
        EXPECT_EQ(ArgumentsOf(tool), c.expected);
    }

    // A quote or a control character anywhere, and what a command interpreter reads in a
    // batch program's line, refuse the start.
    const std::pair<const wchar_t*, std::vector<const wchar_t*>> refused[] = {
        {L"tool.exe", {L"x\" -serverPassword \"y", L"line\nbreak"}},
        {L"start.cmd", {L"a&b", L"50%", L"a|b", L"a^b", L"x>y", L"x<y"}},
        {L"Run.Bat. ", {L"a&b", L"\""}},
        {L"C:\\Windows\\System32\\CMD.EXE", {L"a&b"}}};
    for (const auto& [program, users] : refused)
        for (const wchar_t* user : users) {
            m_server.SetSessionUserName(user);
            EXPECT_EQ(m_starter.LaunchProcess(program, L"-u $USERNAME$"), 0);
            EXPECT_FALSE(m_starter.LastStarted().has_value());
            EXPECT_TRUE(m_log.Contains("Unable to launch " + qxplat::ToNarrow(program) +
                                       " : the value of $USERNAME$ would change its command line"))
                << m_log.Text();
        }
}

// A hostile server's session id must not end the command of a batch program and run its own.
TEST_F(ProgramsTest, ASessionIdCannotRunACommandThroughABatchProgram) {
    WriteBytes(m_dir.Path() / "start.cmd", "@exit /b 0\r\n");
    const fs::path before = fs::current_path();
    fs::current_path(m_dir.Path());
    m_server.SetSessionId(L"abc&echo,INJECTED>injected.txt");
    SetPrimary(L"start.cmd", L"-CS $SESSIONID$,$USERNAME$");
    EXPECT_EQ(m_starter.StartPrimaryApplication(L""), 0);
    WaitForLastStarted();
    fs::current_path(before);
    EXPECT_FALSE(fs::exists(m_dir.Path() / "injected.txt"));
    EXPECT_TRUE(m_log.Contains(
        "Unable to launch start.cmd : the value of $SESSIONID$ would change its command line"));
}

TEST_F(ProgramsTest, PlaceholdersAreExpandedInOrder) {
    m_server.SetSessionId(L"id$USERNAME$");
    m_server.SetSessionUserName(L"u$VERSION$");
    m_application.Info().Version = L"v$VERSION$";
    std::wstring text = L"$SESSIONID$ $USERNAME$ $APPLICATIONNAME$ $VERSION$ $sessionid$";
    m_starter.ExpandPlaceholders(text);
    EXPECT_EQ(text, L"iduv$VERSION$ uv$VERSION$ Flux v$VERSION$ $sessionid$");
}

TEST_F(ProgramsTest, ProgramPlaceDecidesThePrefix) {
    const std::wstring sep(1, qxplat::kPathSeparator);
    const fs::path relative = Install(L"bin" + sep + L"tool");
    EXPECT_EQ(m_starter.LaunchProcess(L"bin" + sep + L"tool.exe", L"--"), 1);
    EXPECT_EQ(LoggedCommandLine(), L"\"" + Directory() + L"bin" + sep + L"tool.exe\"");
    EXPECT_EQ(ArgumentsOf(relative), Arguments{});
    EXPECT_EQ(WaitForLastStarted(), kRecorderExitCode);

    // A full path (a drive on Windows, a leading slash on Linux) is taken as it is.
    TempDir elsewhere;
    const fs::path full = Install(elsewhere.Path(), L"full");
    EXPECT_EQ(m_starter.LaunchProcess(full.wstring(), L"$USERNAME$ \"two words\""), 1);
    EXPECT_EQ(LoggedCommandLine(), L"\"" + full.wstring() + L"\" jdoe \"two words\"");
    EXPECT_EQ(ArgumentsOf(full), (Arguments{L"jdoe", L"two words"}));
    EXPECT_EQ(WaitForLastStarted(), kRecorderExitCode);

    // No arguments at all: no blank either; empty arguments: one blank.
    EXPECT_EQ(m_starter.LaunchProcess(full.wstring(), std::nullopt), 1);
    EXPECT_EQ(LoggedCommandLine(), L"\"" + full.wstring() + L"\"");
    EXPECT_EQ(WaitForLastStarted(), kRecorderExitCode);
    EXPECT_EQ(m_starter.LaunchProcess(full.wstring(), L""), 1);
    EXPECT_EQ(LoggedCommandLine(), L"\"" + full.wstring() + L"\" ");
    EXPECT_EQ(WaitForLastStarted(), kRecorderExitCode);
}

TEST_F(ProgramsTest, DeskBarGoesToTheDefaultPrimary) {
    const fs::path bureau = Install(L"qxbureau");
    const fs::path tool = Install(L"tool");
    const fs::path flux = Install(L"qxflux");
    m_application.Info().StartBureauByDefault = 1;
    m_server.ReadFileList(Table(L"FileName|S;FileSize|N;FileChecksum|N;FileMode|S;FilePath|S;"
                                L"HasToBeLaunched|S;Parameters|S;",
                                L"qxbureau.exe\t1\t1\tnone\t--\tTRUE\t-q\r\n"
                                L"tool.exe\t1\t1\tnone\t--\tTRUE\t--\r\n"));
    EXPECT_EQ(m_starter.HasCustomPrimary(), 0);

    EXPECT_EQ(m_starter.StartLaunchList(), 1);
    EXPECT_EQ(ArgumentsOf(tool), Arguments{});
    EXPECT_EQ(m_starter.StartPrimaryApplication(L""), 1);
    EXPECT_EQ(ArgumentsOf(flux), (Arguments{L"-CS", L"S123,jdoe", L"-b"}));
    EXPECT_FALSE(fs::exists(bureau.wstring() + L".args"));
    EXPECT_FALSE(m_log.Contains("Process qxbureau.exe launched"));
    EXPECT_EQ(WaitForLastStarted(), kRecorderExitCode);

    // qxflux.exe named by the server counts as the default, yet gets only its own parameters.
    SetPrimary(L"QXFLUX.EXE", L"-own");
    EXPECT_EQ(m_starter.HasCustomPrimary(), 0);
    SetPrimary(L"qxflux.exe", L"-own");
    fs::remove(flux.wstring() + L".args");
    EXPECT_EQ(m_starter.StartPrimaryApplication(L"extra"), 1);
    EXPECT_TRUE(m_log.Contains("Starting primary application"));
    EXPECT_EQ(ArgumentsOf(flux), (Arguments{L"-own", L"extra"}));
    EXPECT_EQ(WaitForLastStarted(), kRecorderExitCode);

    // Another primary application: the desk bar is started from the list.
    SetPrimary(L"other.exe", L"--");
    EXPECT_EQ(m_starter.HasCustomPrimary(), 1);
    EXPECT_EQ(m_starter.StartLaunchList(), 1);
    EXPECT_EQ(ArgumentsOf(bureau), Arguments{L"-q"});
    EXPECT_TRUE(m_log.Contains("Process qxbureau.exe launched"));
}

TEST_F(ProgramsTest, EmptyLaunchListStartsNothing) {
    EXPECT_EQ(m_starter.StartLaunchList(), 0);
    EXPECT_TRUE(m_clock.sleeps.empty());
}

TEST_F(ProgramsTest, ProgramEndingWithinTheFirstSecondCountsAsLaunched) {
    const fs::path quick = Install(L"quick");
    m_starter.SetClock(nullptr);
    EXPECT_EQ(m_starter.LaunchProcess(L"quick.exe", L"--"), 1);
    EXPECT_TRUE(m_log.Contains("Process quick.exe launched"));
    EXPECT_TRUE(m_log.Contains("Process quick.exe stopped"));
    // The status is kept: every later look sees the same end.
    EXPECT_FALSE(m_starter.LastStarted()->IsRunning());
    EXPECT_EQ(WaitForLastStarted(), kRecorderExitCode);
    EXPECT_EQ(WaitForLastStarted(), kRecorderExitCode);

    // One still running after the pause is not reported as stopped.
    const fs::path slow = Install(L"slow");
    WriteBytes(slow.wstring() + L".wait", "");
    m_starter.SetClock(&m_clock);
    EXPECT_EQ(m_starter.LaunchProcess(L"slow.exe", L"--"), 1);
    ArgumentsOf(slow);
    EXPECT_TRUE(m_starter.LastStarted()->IsRunning());
    EXPECT_EQ(m_starter.LastStarted()->WaitForExit(milliseconds(50)), std::nullopt);
    EXPECT_FALSE(m_log.Contains("Process slow.exe stopped"));
    fs::remove(slow.wstring() + L".wait");
    EXPECT_EQ(WaitForLastStarted(), kRecorderExitCode);
}

TEST_F(ProgramsTest, ProgramThatCannotStartIsAnError) {
    EXPECT_EQ(m_starter.LaunchProcess(L"missing.exe", L"-x"), 0);
    EXPECT_FALSE(m_starter.LastStarted().has_value());
    EXPECT_TRUE(m_log.Contains("Unable to launch missing.exe : 2")) << m_log.Text();
    EXPECT_FALSE(m_log.Contains("launched"));
    EXPECT_TRUE(m_clock.sleeps.empty());
}

} // namespace
