#include <gtest/gtest.h>

#include "app/QXLProcess.h"
#include "base/QXCommandLine.h"
#include "support/TempDir.h"

namespace {

using Args = std::vector<std::wstring>;

Args Split(const wchar_t* text) {
    Args arguments{L"left over"};
    SplitCommandLine(text, arguments);
    return arguments;
}

} // namespace

TEST(CommandLineTest, SplitsOnBlanksAndKeepsPlainCharactersAsTheyAre) {
    EXPECT_EQ(Split(nullptr), Args{});
    EXPECT_EQ(Split(L""), Args{});
    EXPECT_EQ(Split(L" \t\r\n\v "), Args{});
    EXPECT_EQ(Split(L"  a\tb\r\nc\vd "), (Args{L"a", L"b", L"c", L"d"}));
    EXPECT_EQ(Split(L"a\fb"), (Args{L"a\fb"}));
    EXPECT_EQ(Split(L"pa\"ss wo\\rd\\ end\\"), (Args{L"pa\"ss", L"wo\\rd\\", L"end\\"}));
}

TEST(CommandLineTest, ReadsQuotedArgumentsWithTheirBackslashRules) {
    EXPECT_EQ(Split(L"\"a b\" c"), (Args{L"a b", L"c"}));
    EXPECT_EQ(Split(L"\"say \\\"hi\\\"\""), (Args{L"say \"hi\""}));
    EXPECT_EQ(Split(L"\"C:\\dir\\file\""), (Args{L"C:\\dir\\file"}));
    EXPECT_EQ(Split(L"\"a\\\\\" b"), (Args{L"a\\\\", L"b"}));
    EXPECT_EQ(Split(L"\"\" \"\""), (Args{L"", L""}));
    EXPECT_EQ(Split(L"\"ab\"cd"), (Args{L"ab", L"cd"}));
    EXPECT_EQ(Split(L"\"\"\"x"), (Args{L"", L"x"}));
    EXPECT_EQ(Split(L"\"open to the end"), (Args{L"open to the end"}));
    EXPECT_EQ(Split(L"a \"b c\\"), (Args{L"a", L"b c\\"}));
    EXPECT_EQ(Split(L"\"b\\"), (Args{L"b\\"}));
    EXPECT_EQ(Split(L"\"\\"), (Args{L"\\"}));
}

TEST(CommandLineTest, JoinedArgumentsSplitBackTheSame) {
    const Args samples[] = {
        {},
        {L"-SID:abc,user"},
        {L"-serverLogin", L"jean dupont", L"-serverPassword", L""},
        {L"tab\there", L"line\nfeed", L"\"starts quoted", L"in\"side", L"say \"hi\""},
        {L"back\\slash\\", L"x", L"C:\\Program Files\\QX\\"},
        {L"-proxyPassword", L"last one ends in\\"},
        {L"\\\\server\\share", L"\\\"", L"\\"},
        {L"\"", L"\"\"", L"a\"b\\", L"\\\"", L"\"\\"},
        {L"\"quoted start\" and end", L"x\\y z\\w", L"two\\\\ \\\\"},
        {L"-serverPassword", L"p\"a s\\s"},
    };
    for (const Args& arguments : samples) {
        const std::wstring line = QXJoinCommandLine(arguments);
        SCOPED_TRACE(testing::PrintToString(line));
        EXPECT_EQ(Split(line.c_str()), arguments);
    }
}

TEST(CommandLineTest, MasksTheValuesOfPasswordOptionsOnly) {
    EXPECT_EQ(QXMaskCommandLineSecrets(L"-serverLogin bob -serverPassword s3cret -SID:a,b"),
              L"-serverLogin bob -serverPassword *** -SID:a,b");
    EXPECT_EQ(QXMaskCommandLineSecrets(L"  -proxyPassword  \"two words\"\t-x"),
              L"  -proxyPassword  ***\t-x");
    EXPECT_EQ(QXMaskCommandLineSecrets(L"-proxyPassword \"\" -serverpassword x"),
              L"-proxyPassword *** -serverpassword ***");
    EXPECT_EQ(QXMaskCommandLineSecrets(L"-serverPassword \"open \\\"to\\ the end"),
              L"-serverPassword ***");
    EXPECT_EQ(QXMaskCommandLineSecrets(L"-serverPassword"), L"-serverPassword");
    EXPECT_EQ(QXMaskCommandLineSecrets(L"a  \"b\"  c"), L"a  \"b\"  c");
    EXPECT_EQ(QXMaskCommandLineSecrets(L""), L"");
}

namespace {

// A launcher context whose log lives in a folder of its own, with every level on.
class ParseCommandLineTest : public ::testing::Test {
protected:
    ParseCommandLineTest() {
        WriteBytes(m_dir.Path() / "QXLauncher.ini", "[LOG]\r\nactivateLog=1\r\ndebug=1\r\n");
    }

    // Each parse starts a fresh context and a fresh log file.
    bool Parse(const std::wstring& commandLine, const Args* arguments = nullptr) {
        m_process.reset();
        std::filesystem::remove_all(m_dir.Path() / "LOG");
        m_process = std::make_unique<CQXLProcess>(nullptr, kQXEnglishBase, commandLine,
                                                  m_dir.Path().wstring(), L"");
        if (arguments != nullptr)
            m_process->SetArguments(*arguments);
        return m_process->ParseCommandLine();
    }
    CQXLDownloader& Downloader() { return m_process->GetServerClient().GetDownloader(); }
    CQXLServerClient& Server() { return m_process->GetServerClient(); }
    CQXLAuthenDlg& Dialog() { return m_process->GetAuthenDlg(); }
    std::string Log() { return ReadBytes(m_process->GetLog().GetLogFilePath()); }

    TempDir m_dir;
    std::unique_ptr<CQXLProcess> m_process;
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST_F(ParseCommandLineTest, TakesAHandedOverSessionSplitAtTheFirstComma) {
    EXPECT_TRUE(Parse(L"-SID:S1D,dupont,jean"));
    EXPECT_EQ(Downloader().GetSessionId(), L"S1D");
    EXPECT_EQ(Server().GetSessionUserName(), L"dupont,jean");
    EXPECT_TRUE(Contains(Log(), "Session found : -SID:S1D,dupont,jean, no need to login again"));

    EXPECT_TRUE(Parse(L"-SID:aZ09-._~+/=,u"));
    EXPECT_EQ(Downloader().GetSessionId(), L"aZ09-._~+/=");

    // The last well-formed session wins; a malformed one after it changes nothing.
    EXPECT_TRUE(Parse(L"-SID:one,a -SID:two,b -SID:three"));
    EXPECT_EQ(Downloader().GetSessionId(), L"two");
    EXPECT_EQ(Server().GetSessionUserName(), L"b");
}

TEST_F(ParseCommandLineTest, LogsMalformedSessionsAndGoesOnToTheLogin) {
    constexpr char kUnsafeId[] =
        "session id holds characters other than letters, digits and -._~+/=\r\n";
    const struct {
        const wchar_t* commandLine;
        const char* error;
    } cases[] = {
        {L"-SID:", "malformed SID\r\n"},
        {L"-SID:nocomma", "malformed SID\r\n"},
        {L"-SID:,user", "malformed SID content\r\n"},
        {L"-SID:id,", "malformed SID content\r\n"},
        {L"\"-SID:i d,user\"", kUnsafeId},
        {L"-SID:i\"d,user", kUnsafeId},
        {L"\"-SID:i\td,user\"", kUnsafeId},
        {L"-SID:abc&echo,INJECTED>injected.txt", kUnsafeId},
        {L"-SID:a%PATH%,user", kUnsafeId},
        {L"-SID:a^|b,user", kUnsafeId},
        {L"-SID:caf\u00e9,user", kUnsafeId},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Parse(c.commandLine));
        EXPECT_TRUE(Contains(Log(), std::string("Failed to parse Session string: ") + c.error))
            << Log();
        EXPECT_EQ(Downloader().GetSessionId(), L"");
        EXPECT_EQ(Server().GetSessionUserName(), L"");
    }
    EXPECT_FALSE(Parse(L"-sid:id,user -Sid:id,user SID:id,user \"\" x"));
    EXPECT_EQ(Downloader().GetSessionId(), L"");
    EXPECT_FALSE(Parse(L""));
}

TEST_F(ParseCommandLineTest, StoresCredentialsWhereTheLoginAndTheProxyReadThem) {
    EXPECT_FALSE(Parse(L"-proxyLogin \"DOM\\proxy user\" -proxyPassword p\\\"w "
                       L"-serverLogin jean -serverPassword \"se cret\""));
    EXPECT_EQ(Downloader().GetProxyUserName(), L"DOM\\proxy user");
    EXPECT_EQ(Downloader().GetProxyPassword(), L"p\\\"w");
    EXPECT_EQ(Server().GetServerLogin(), L"jean");
    EXPECT_EQ(Server().GetServerPassword(), L"se cret");
    EXPECT_EQ(Dialog().GetLogin(), L"jean");
    EXPECT_EQ(Dialog().GetPassword(), L"se cret");

    // The line in the log keeps every character but the two passwords.
    EXPECT_TRUE(Contains(Log(), "QXLauncher Command Line: [-proxyLogin \"DOM\\proxy user\" "
                                "-proxyPassword *** -serverLogin jean -serverPassword ***]"))
        << Log();
    EXPECT_FALSE(Contains(Log(), "cret"));
}

TEST_F(ParseCommandLineTest, APendingOptionTakesTheNextArgumentWhateverItIs) {
    EXPECT_TRUE(Parse(L"-serverLogin -serverPassword secret -proxyLogin -SID:x,y "
                      L"-proxyPassword \"\" -SID:s,u -serverpassword ignored -serverPassword"));
    EXPECT_EQ(Server().GetServerLogin(), L"-serverPassword");
    EXPECT_EQ(Dialog().GetLogin(), L"-serverPassword");
    EXPECT_EQ(Server().GetServerPassword(), L"");
    EXPECT_EQ(Dialog().GetPassword(), L"");
    EXPECT_EQ(Downloader().GetProxyUserName(), L"-SID:x,y");
    EXPECT_EQ(Downloader().GetProxyPassword(), L"");
    EXPECT_EQ(Downloader().GetSessionId(), L"s");
    EXPECT_FALSE(Contains(Log(), "secret"));
    EXPECT_FALSE(Contains(Log(), "ignored"));

    EXPECT_FALSE(Parse(L"-serverLogin only"));
    EXPECT_EQ(Server().GetServerLogin(), L"only");
    EXPECT_EQ(Server().GetServerPassword(), L"");
}

TEST_F(ParseCommandLineTest, ReadsAHandedOverListAsItIsEvenWhereNoJoinedLineCouldHoldIt) {
    const Args arguments{L"-serverLogin", L"dom\\jean \"j\\\"", L"-serverPassword", L"p w\\",
                         L"-SID:id,us er"};
    EXPECT_TRUE(Parse(QXJoinCommandLine(arguments), &arguments));
    EXPECT_EQ(Dialog().GetLogin(), L"dom\\jean \"j\\\"");
    EXPECT_EQ(Dialog().GetPassword(), L"p w\\");
    EXPECT_EQ(Downloader().GetSessionId(), L"id");
    EXPECT_EQ(Server().GetSessionUserName(), L"us er");

    // Masked before they are joined: a joined line no longer shows where each value ends.
    const Args secrets{L"-serverLogin", L"dom\\ b\\",       L"-proxyPassword",
                       L"pw1",          L"-serverPassword", L"se\\\"cret pw"};
    Parse(QXJoinCommandLine(secrets), &secrets);
    EXPECT_FALSE(Contains(Log(), "pw1")) << Log();
    EXPECT_FALSE(Contains(Log(), "cret")) << Log();
    EXPECT_TRUE(Contains(Log(), "-proxyPassword *** -serverPassword ***]")) << Log();
}
