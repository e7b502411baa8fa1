#include "protocol/QXReplyValues.h"

namespace {

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

} // namespace

bool QXEqualsNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

int QXReplyFlag(const std::wstring& value) { return QXEqualsNoCase(value, L"TRUE") ? 1 : 0; }

std::uint32_t QXReplyInteger(const std::wstring& value) {
    std::size_t i = 0;
    while (i < value.size() && IsBlank(value[i]))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == L'+' || value[i] == L'-'))
        negative = value[i++] == L'-';
    // Unsigned arithmetic wraps where a 64-bit signed conversion would overflow; the low
    // 32 bits are all that is kept either way.
    std::uint64_t number = 0;
    for (; i < value.size() && value[i] >= L'0' && value[i] <= L'9'; ++i)
        number = number * 10u + static_cast<std::uint64_t>(value[i] - L'0');
    if (negative)
        number = 0u - number;
    return static_cast<std::uint32_t>(number);
}

std::wstring QXReplyText(const std::wstring& value) {
    std::size_t begin = 0;
    std::size_t end = value.size();
    while (begin < end && IsBlank(value[begin]))
        ++begin;
    while (end > begin && IsBlank(value[end - 1]))
        --end;
    return value.substr(begin, end - begin);
}

int QXReplyMode(const std::wstring& value) {
    static const struct {
        const wchar_t* text;
        int mode;
    } kModes[] = {
        {L"delta", 1},       {L"1", 1},         {L"create", 2}, {L"creation", 2}, {L"2", 2},
        {L"suppression", 3}, {L"delete", 3},    {L"3", 3},      {L"update", 4},   {L"4", 4},
        {L"install", 5},     {L"installer", 5}, {L"5", 5},
    };
    for (const auto& entry : kModes)
        if (QXEqualsNoCase(value, entry.text))
            return entry.mode;
    return 0;
}
