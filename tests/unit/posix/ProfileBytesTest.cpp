// Our own INI writer changes only what it is asked to: every other byte of the file stays,
// whatever its charset and line ends.
#include <gtest/gtest.h>
#include <random>

#include "platform/Profile.h"
#include "support/TempDir.h"

TEST(ProfileBytesTest, RewriteKeepsEveryByteItDoesNotChange) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string before;
        std::string after; // once [LOG] activateLog is 1 and debug 0
    };
    std::string noise(64 * 1024, '\0');
    std::mt19937 random(7);
    for (char& byte : noise) // anything but the start of a section header
        do
            byte = static_cast<char>(random());
        while (byte == '[');
    const std::vector<Case> cases = {
        {"latin1", "[User]\r\nname=caf\xE9\r\n[LOG]\r\nactivateLog = 0 \r\ndebug=0\r\n",
         "[User]\r\nname=caf\xE9\r\n[LOG]\r\nactivateLog = 1 \r\ndebug=0\r\n"},
        {"noise", "[Blob]\r\n" + noise + "\r\n[LOG]\nactivateLog=0\n",
         "[Blob]\r\n" + noise + "\r\n[LOG]\nactivateLog=1\ndebug=0\r\n"},
        {"mixed ends, no last end", "; \xC3\x28 bad UTF-8\n[LOG]\r\nactivateLog=0",
         "; \xC3\x28 bad UTF-8\n[LOG]\r\nactivateLog=1\ndebug=0\n"},
        {"utf-8 mark, new section", "\xEF\xBB\xBF[A]\nk=\xE6\x97\xA5\n",
         "\xEF\xBB\xBF[A]\nk=\xE6\x97\xA5\n\n[LOG]\nactivateLog=1\ndebug=0\n"},
    };
    for (const Case& c : cases) {
        const auto path = dir.Path() / (std::string(c.name) + ".ini");
        WriteBytes(path, c.before);
        ASSERT_TRUE(qxplat::WriteIniString(path.wstring(), L"LOG", L"activateLog", L"1"));
        ASSERT_TRUE(qxplat::WriteIniString(path.wstring(), L"LOG", L"debug", L"0"));
        EXPECT_TRUE(ReadBytes(path) == c.after) << c.name; // no dump of 64 KiB of noise
        EXPECT_EQ(qxplat::ReadIniString(path.wstring(), L"LOG", L"activateLog", L""), L"1")
            << c.name;
    }
}
