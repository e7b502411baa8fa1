#include "platform/Text.h"

#include "base/Utf8.h"

namespace qxplat {

namespace {

bool IsScalarValue(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// Length of the UTF-8 sequence led by byte b, or 0 when b cannot lead one.
std::size_t SequenceLength(unsigned char b) {
    if (b < 0x80)
        return 1;
    if ((b & 0xE0) == 0xC0)
        return 2;
    if ((b & 0xF0) == 0xE0)
        return 3;
    if ((b & 0xF8) == 0xF0)
        return 4;
    return 0;
}

} // namespace

void AppendLogText(std::string& out, std::wstring_view text) {
    for (wchar_t c : text) {
        const char32_t code = static_cast<char32_t>(c);
        AppendUtf8(out, IsScalarValue(code) ? code : U'?');
    }
}

std::string ToNarrow(std::wstring_view text) {
    std::string out;
    AppendLogText(out, text);
    return out;
}

std::wstring FromLogText(std::string_view bytes) { return FromNarrow(bytes); }

// Bytes that do not form valid UTF-8 are taken one by one as Latin-1, so nothing is lost.
std::wstring FromNarrow(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = SequenceLength(lead);
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = length > 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && length > 1)
            valid = code >= kSmallest[length] && IsScalarValue(code);
        if (!valid) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(code));
        i += length;
    }
    return out;
}

} // namespace qxplat
