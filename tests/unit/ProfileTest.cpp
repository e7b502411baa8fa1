// One suite for the profile layer, run natively against our own INI reader and writer and,
// in the Windows build under Wine, against the system's profile functions: both must agree.
#include "platform/Profile.h"

#include <gtest/gtest.h>
#include <optional>
#include <utility>
#include <vector>

#include "support/TempDir.h"

using qxplat::ReadIniInt;
using qxplat::ReadIniString;
using qxplat::WriteIniSection;
using qxplat::WriteIniString;

namespace {

class ProfileTest : public ::testing::Test {
protected:
    // Each case gets a file of its own: the system may cache a profile by name and time.
    std::wstring Ini(const std::string& content) {
        const std::wstring name = L"case" + std::to_wstring(++m_count) + L".ini";
        WriteBytes(m_dir.Path() / name, content);
        return m_dir.File(name);
    }
    std::wstring Read(const std::wstring& file, const wchar_t* key,
                      const wchar_t* fallback = L"<absent>") {
        return ReadIniString(file, L"S", key, fallback);
    }

    TempDir m_dir;
    int m_count = 0;
};

} // namespace

TEST_F(ProfileTest, TrimsBlanksAndStripsOnePairOfQuotes) {
    const auto file = Ini("[S]\r\n"
                          "  plain =   value with  inner  blanks   \r\n"
                          "dq=\"quoted  \"\r\n"
                          "sq='single'\r\n"
                          "twice=\"\"x\"\"\r\n"
                          "mixed=\"a'\r\n"
                          "lone=\"\r\n"
                          "empty=\r\n"
                          "eq=a=b\r\n");
    EXPECT_EQ(Read(file, L"plain"), L"value with  inner  blanks");
    EXPECT_EQ(Read(file, L"dq"), L"quoted  ");
    EXPECT_EQ(Read(file, L"sq"), L"single");
    EXPECT_EQ(Read(file, L"twice"), L"\"x\"");
    EXPECT_EQ(Read(file, L"mixed"), L"\"a'");
    EXPECT_EQ(Read(file, L"lone"), L"\"");
    EXPECT_EQ(Read(file, L"empty"), L"");
    EXPECT_EQ(Read(file, L"eq"), L"a=b");
}

TEST_F(ProfileTest, TellsAnAbsentKeyFromAnEmptyValue) {
    const auto file = Ini("[S]\nempty=\nnovalue\n[Other]\nmissing=1\n");
    EXPECT_EQ(Read(file, L"empty"), L"");
    EXPECT_EQ(Read(file, L"missing"), L"<absent>");
    EXPECT_EQ(Read(file, L"novalue"), L"<absent>");
    EXPECT_EQ(ReadIniString(file, L"Nowhere", L"missing", L"fb"), L"fb");
    EXPECT_EQ(ReadIniString(m_dir.File(L"no-such.ini"), L"S", L"k", L"fb"), L"fb");
    EXPECT_EQ(Read(file, L"missing", L"trailing   "), L"trailing");
}

TEST_F(ProfileTest, MatchesSectionAndKeyNamesWithoutCase) {
    const auto file = Ini("[log]\nActivateLOG=1\n[LOG]\nactivatelog=2\n");
    EXPECT_EQ(ReadIniString(file, L"LOG", L"activateLog", L""), L"1");
    EXPECT_EQ(ReadIniInt(file, L"Log", L"ACTIVATELOG", 9), 1);
}

TEST_F(ProfileTest, ReadsLeadingDigitsAsTheInteger) {
    const auto file = Ini("[S]\na=42\nb= 17abc\nc=yes\nd=\ne=-5\nf=+8\ng=\"12\"\nh=1.9\n"
                          "i=4294967297\nj=0x1f\nk=0o17\nl=0b101\nm=0X10\nn=0b2\n");
    EXPECT_EQ(ReadIniInt(file, L"S", L"a", 7), 42);
    EXPECT_EQ(ReadIniInt(file, L"S", L"b", 7), 17);
    EXPECT_EQ(ReadIniInt(file, L"S", L"c", 7), 0);
    EXPECT_EQ(ReadIniInt(file, L"S", L"d", 7), 7);
    EXPECT_EQ(ReadIniInt(file, L"S", L"e", 7), -5);
    EXPECT_EQ(ReadIniInt(file, L"S", L"f", 7), 8);
    EXPECT_EQ(ReadIniInt(file, L"S", L"g", 7), 12);
    EXPECT_EQ(ReadIniInt(file, L"S", L"h", 7), 1);
    EXPECT_EQ(ReadIniInt(file, L"S", L"i", 7), 1);
    EXPECT_EQ(ReadIniInt(file, L"S", L"j", 7), 31);
    EXPECT_EQ(ReadIniInt(file, L"S", L"k", 7), 15);
    EXPECT_EQ(ReadIniInt(file, L"S", L"l", 7), 5);
    EXPECT_EQ(ReadIniInt(file, L"S", L"m", 7), 0);
    EXPECT_EQ(ReadIniInt(file, L"S", L"n", 7), 0);
    EXPECT_EQ(ReadIniInt(file, L"S", L"absent", 7), 7);
}

TEST_F(ProfileTest, CutsLongValuesToTheBuffer) {
    const std::string value(2000, 'v');
    const auto file = Ini("[S]\nlong=" + value + "\nquoted=\"" + value + "\"\n");
    EXPECT_EQ(Read(file, L"long"), std::wstring(1023, L'v'));
    EXPECT_EQ(Read(file, L"quoted"), std::wstring(1023, L'v'));
    EXPECT_EQ(ReadIniString(file, L"S", L"long", L"", 10), std::wstring(9, L'v'));
}

TEST_F(ProfileTest, WriteKeepsOtherSectionsKeysAndLines) {
    const auto file = Ini("; settings\r\n[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nz=3\r\n");
    ASSERT_TRUE(WriteIniString(file, L"a", L"X", L"10"));
    ASSERT_TRUE(WriteIniString(file, L"A", L"new", L"4"));
    ASSERT_TRUE(WriteIniString(file, L"C", L"w", L"5"));
    EXPECT_EQ(ReadIniString(file, L"A", L"x", L""), L"10");
    EXPECT_EQ(ReadIniString(file, L"A", L"y", L""), L"2");
    EXPECT_EQ(ReadIniString(file, L"A", L"new", L""), L"4");
    EXPECT_EQ(ReadIniString(file, L"B", L"z", L""), L"3");
    EXPECT_EQ(ReadIniString(file, L"C", L"w", L""), L"5");
    EXPECT_EQ(ReadIniString(file, L"B", L"new", L"none"), L"none");
}

TEST_F(ProfileTest, WriteCreatesAMissingFile) {
    const std::wstring file = m_dir.File(L"created.ini");
    ASSERT_TRUE(WriteIniString(file, L"LOG", L"activateLog", L"0"));
    ASSERT_TRUE(WriteIniString(file, L"LOG", L"debug", L"1"));
    EXPECT_EQ(ReadIniInt(file, L"LOG", L"activateLog", 9), 0);
    EXPECT_EQ(ReadIniInt(file, L"LOG", L"debug", 9), 1);
}

TEST_F(ProfileTest, SectionWriteReplacesTheSectionsLines) {
    const auto file = Ini("[Move]\nold1=a\nold2=b\n[Keep]\nk=v\n");
    ASSERT_TRUE(WriteIniSection(file, L"move", {L"File1=x.dll", L"File2=y.dll"}));
    ASSERT_TRUE(WriteIniSection(file, L"Fresh", {L"NbFile=0"}));
    EXPECT_EQ(ReadIniString(file, L"Move", L"old1", L"gone"), L"gone");
    EXPECT_EQ(ReadIniString(file, L"Move", L"File1", L""), L"x.dll");
    EXPECT_EQ(ReadIniString(file, L"Move", L"File2", L""), L"y.dll");
    EXPECT_EQ(ReadIniString(file, L"Keep", L"k", L""), L"v");
    EXPECT_EQ(ReadIniString(file, L"Fresh", L"NbFile", L""), L"0");

    const std::wstring created = m_dir.File(L"section-created.ini");
    ASSERT_TRUE(WriteIniSection(created, L"Config", {L"NbFile=2"}));
    EXPECT_EQ(ReadIniInt(created, L"Config", L"NbFile", 0), 2);
}

TEST_F(ProfileTest, ReadsAndWritesUtf16FilesAsUtf16) {
    // "[S]\r\nname=café 日本\r\nquoted=\"x\"\r\n" in UTF-16 LE with its byte-order mark.
    const std::u16string text = u"[S]\r\nname=caf\u00E9 \u65E5\u672C\r\nquoted=\"x\"\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text)
        bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    const auto file = Ini(bytes);
    EXPECT_EQ(Read(file, L"name"), L"caf\u00E9 \u65E5\u672C");
    EXPECT_EQ(Read(file, L"quoted"), L"x");

    ASSERT_TRUE(WriteIniString(file, L"S", L"name", L"\u00E9t\u00E9"));
    ASSERT_TRUE(WriteIniString(file, L"LOG", L"activateLog", L"1"));
    const std::string written = ReadBytes(m_dir.Path() / std::filesystem::path(file).filename());
    ASSERT_EQ(written.compare(0, 2, "\xFF\xFE"), 0);
    EXPECT_EQ(written.size() % 2, 0u);
    EXPECT_EQ(written.find("\n\r"), std::string::npos) << "no 8-bit line was appended";
    EXPECT_EQ(Read(file, L"name"), L"\u00E9t\u00E9");
    EXPECT_EQ(Read(file, L"quoted"), L"x");
    EXPECT_EQ(ReadIniInt(file, L"LOG", L"activateLog", 9), 1);
}

// The one-pass reader must give what key-by-key reads give, on either platform's reader.
TEST_F(ProfileTest, SectionPassAgreesWithKeyReads) {
    const std::string longValue(5000, 'v');
    const auto file = Ini("[S]\r\n  plain =  a b  \r\nquoted=\"q\"\r\nlong=\"" + longValue +
                          "\"\r\nempty=\r\nnovalue\r\ndup=first\r\nDUP=second\r\n"
                          "[Other]\r\nk=other\r\n[s]\r\nlate=second section\r\n");
    std::vector<std::pair<std::wstring, std::wstring>> seen;
    ASSERT_TRUE(qxplat::ReadIniSections(file, {L"s", L"Missing"},
                                        [&seen](std::size_t section, const std::wstring& key,
                                                const std::optional<std::wstring>& value) {
                                            EXPECT_EQ(section, 0u);
                                            seen.emplace_back(key, value.value_or(L"<none>"));
                                        }));
    const std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"plain", Read(file, L"plain")},
        {L"quoted", Read(file, L"quoted")},
        {L"long", Read(file, L"long")},
        {L"empty", Read(file, L"empty")},
        {L"novalue", L"<none>"},
        {L"dup", L"first"},
        {L"DUP", L"second"}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(Read(file, L"long"), std::wstring(1023, L'v'));
    EXPECT_FALSE(qxplat::ReadIniSections(
        m_dir.File(L"absent.ini"), {L"S"},
        [](std::size_t, const std::wstring&, const std::optional<std::wstring>&) {}));
}
