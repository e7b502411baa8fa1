#include <gtest/gtest.h>

#include "app/QXLProcess.h"
#include "platform/System.h"
#include "support/TempDir.h"

namespace {

// The main sequence run in a folder of its own, as if the program had been started from there,
// with every log level on.
class ProcessTest : public ::testing::Test {
protected:
    ProcessTest() {
        WriteBytes(m_dir.Path() / "QXLauncher.ini", "[LOG]\r\nactivateLog=1\r\ndebug=1\r\n");
    }

    int Run(const std::wstring& programPath, const std::wstring& commandLine) {
        m_process = std::make_unique<CQXLProcess>(nullptr, kQXEnglishBase, commandLine,
                                                  m_dir.Path().wstring(), programPath);
        EXPECT_EQ(m_process->RunSequence(), 0);
        m_log = ReadBytes(m_process->GetLog().GetLogFilePath());
        return m_process->GetExitCode();
    }
    std::wstring ProgramPath() const { return m_dir.File(L"QXLauncher.exe"); }
    std::string Directory() const {
        return m_dir.Path().string() + static_cast<char>(qxplat::kPathSeparator);
    }

    // The level marker of the record whose message begins with message; empty without one.
    std::string MarkerOf(const std::string& message) const {
        const std::size_t at = m_log.find("] - " + message);
        if (at == std::string::npos)
            return {};
        return m_log.substr(m_log.rfind('\n', at) + 1, 2); // npos + 1: the first record
    }

    TempDir m_dir;
    std::unique_ptr<CQXLProcess> m_process;
    std::string m_log;
};

} // namespace

TEST_F(ProcessTest, EndsWithExitCode1WithoutAServerInQxurlNet) {
    WriteBytes(m_dir.Path() / "qxurl.net", "[FileDownload]\r\nURL=http://127.0.0.1:1/\r\n");
    EXPECT_EQ(Run(ProgramPath(), L"-serverLogin jean"), 1);

    EXPECT_EQ(MarkerOf("Installation Path : " + Directory() + "\r\n"), "DD") << m_log;
    EXPECT_EQ(MarkerOf("END : no URL parameter in qxurl.net\r\n"), "??") << m_log;
    EXPECT_EQ(m_process->GetApplication().InstallationDirectory(),
              m_dir.Path().wstring() + qxplat::kPathSeparator);
    // The command line is left alone: the run ends before it.
    EXPECT_EQ(m_log.find("Command Line"), std::string::npos);
    EXPECT_EQ(m_process->GetServerClient().GetServerLogin(), L"");
}

TEST_F(ProcessTest, ReadsTheCommandLineOnceTheServersAreKnown) {
    WriteBytes(m_dir.Path() / "qxurl.net", "[Config]\r\nURL1=http://127.0.0.1:1/qx/\r\n");
    // The login then finds no server: a network error, hence exit code 1.
    EXPECT_EQ(Run(ProgramPath(), L"-serverLogin jean -serverPassword \"top secret\""), 1);
    EXPECT_EQ(MarkerOf("Login error : -9999"), "**") << m_log;

    const std::string installation = "Installation Path : " + Directory() + "\r\n";
    const std::string commandLine =
        "QXLauncher Command Line: [-serverLogin jean -serverPassword ***]\r\n";
    EXPECT_EQ(MarkerOf(installation), "DD") << m_log;
    EXPECT_EQ(MarkerOf(commandLine), "DD") << m_log;
    EXPECT_LT(m_log.find(installation), m_log.find(commandLine));
    EXPECT_EQ(m_log.find("no URL parameter"), std::string::npos);
    EXPECT_EQ(m_log.find("top secret"), std::string::npos);
    EXPECT_EQ(m_process->GetServerClient().GetServerPassword(), L"top secret");
    EXPECT_EQ(m_process->GetConfiguration().GetServerList().GetCount(), 1);
}

TEST_F(ProcessTest, EndsWhenTheProgramsPathIsUnknown) {
    EXPECT_EQ(Run(L"", L"-serverLogin jean"), 0);
    EXPECT_EQ(MarkerOf("END : Unable to detect installation path : "), "**") << m_log;
    EXPECT_EQ(m_log.find("no URL parameter"), std::string::npos);
    EXPECT_EQ(m_process->GetApplication().InstallationDirectory(), L"");
}
