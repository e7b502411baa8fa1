#include "base/QXFormat.h"

namespace {

template <typename T>
void AppendDecimal(std::wstring& out, T value) {
    wchar_t digits[24];
    int n = 0;
    const bool negative = value < 0;
    do {
        const int digit = static_cast<int>(value % 10);
        digits[n++] = static_cast<wchar_t>(L'0' + (negative ? -digit : digit));
        value /= 10;
    } while (value != 0);
    if (negative)
        out.push_back(L'-');
    while (n > 0)
        out.push_back(digits[--n]);
}

// Writes one conversion; returns false when the argument does not fit it.
bool AppendConversion(std::wstring& out, wchar_t conversion, bool pointerSized,
                      const CQXFormatArg& arg) {
    using Kind = CQXFormatArg::Kind;
    if (conversion == L's') {
        if (arg.GetKind() != Kind::Text)
            return false;
        out.append(arg.Text());
        return true;
    }
    if (arg.GetKind() == Kind::Text)
        return false;
    if (conversion == L'u')
        AppendDecimal(out, static_cast<std::uint32_t>(arg.AsUnsigned()));
    else if (pointerSized)
        AppendDecimal(out, static_cast<std::int64_t>(arg.AsSigned()));
    else
        AppendDecimal(out, static_cast<std::int32_t>(arg.AsSigned()));
    return true;
}

} // namespace

long long CQXFormatArg::AsSigned() const {
    return m_kind == Kind::Unsigned ? static_cast<long long>(m_unsigned) : m_signed;
}

unsigned long long CQXFormatArg::AsUnsigned() const {
    return m_kind == Kind::Signed ? static_cast<unsigned long long>(m_signed) : m_unsigned;
}

void QXFormatAppend(std::wstring& out, std::wstring_view format, const CQXFormatArg* args,
                    std::size_t count) {
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const wchar_t c = format[i];
        if (c != L'%' || i + 1 == format.size()) {
            out.push_back(c);
            continue;
        }
        std::size_t at = i + 1;
        const bool pointerSized = format[at] == L'I' && at + 1 < format.size();
        if (pointerSized)
            ++at;
        const wchar_t conversion = format[at];
        if (conversion == L'%' && !pointerSized) {
            out.push_back(L'%');
            i = at;
            continue;
        }
        const bool known =
            conversion == L's' || conversion == L'd' || conversion == L'i' || conversion == L'u';
        if (!known || (pointerSized && conversion == L's')) {
            out.push_back(c); // not a conversion of ours: keep the text as written
            continue;
        }
        i = at;
        if (next >= count || !AppendConversion(out, conversion, pointerSized, args[next])) {
            out.append(L"%!");
            out.push_back(conversion);
        }
        ++next;
    }
}
