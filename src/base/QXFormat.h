#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A printf-style formatter for the launcher's wide message texts. It understands the
// conversions the texts use (%s wide string, %d and %i int, %u unsigned, %Id pointer-sized
// int, %%) and checks each argument's type at the point of use: a conversion whose argument
// is missing or of the wrong kind writes "%!" and the conversion letter instead of reading
// memory it was not given. Argument texts are copied as they are, never scanned again.

class CQXFormatArg {
public:
    enum class Kind { Signed, Unsigned, Text };

    CQXFormatArg(int v) : m_kind(Kind::Signed), m_signed(v) {}
    CQXFormatArg(long v) : m_kind(Kind::Signed), m_signed(v) {}
    CQXFormatArg(long long v) : m_kind(Kind::Signed), m_signed(v) {}
    CQXFormatArg(unsigned v) : m_kind(Kind::Unsigned), m_unsigned(v) {}
    CQXFormatArg(unsigned long v) : m_kind(Kind::Unsigned), m_unsigned(v) {}
    CQXFormatArg(unsigned long long v) : m_kind(Kind::Unsigned), m_unsigned(v) {}
    CQXFormatArg(const wchar_t* s) : m_kind(Kind::Text), m_text(s ? s : L"(null)") {}
    CQXFormatArg(const std::wstring& s) : m_kind(Kind::Text), m_text(s) {}
    CQXFormatArg(std::wstring_view s) : m_kind(Kind::Text), m_text(s) {}
    // Narrow text has no meaning in a wide message; refuse it at compile time.
    CQXFormatArg(const char*) = delete;
    CQXFormatArg(const std::string&) = delete;
    CQXFormatArg(bool) = delete;

    Kind GetKind() const { return m_kind; }
    long long AsSigned() const;
    unsigned long long AsUnsigned() const;
    std::wstring_view Text() const { return m_text; }

private:
    Kind m_kind;
    long long m_signed = 0;
    unsigned long long m_unsigned = 0;
    std::wstring_view m_text;
};

// Appends the formatted text to out. Never throws on a bad format.
void QXFormatAppend(std::wstring& out, std::wstring_view format, const CQXFormatArg* args,
                    std::size_t count);

template <typename... Args>
void QXFormatTo(std::wstring& out, std::wstring_view format, const Args&... args) {
    const CQXFormatArg list[] = {CQXFormatArg(args)..., CQXFormatArg(0)};
    QXFormatAppend(out, format, list, sizeof...(Args));
}

template <typename... Args>
std::wstring QXFormat(std::wstring_view format, const Args&... args) {
    std::wstring out;
    QXFormatTo(out, format, args...);
    return out;
}
