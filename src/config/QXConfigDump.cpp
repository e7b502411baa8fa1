#include "config/QXConfigDump.h"

#include "base/QXFormat.h"
#include "platform/FileProbe.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace {

// UTF-16 LE code units to wide text; pairs are joined where wchar_t holds more than 16 bits.
std::wstring DecodeUtf16(const std::string& bytes) {
    std::wstring out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const wchar_t unit = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                                  static_cast<unsigned char>(bytes[i + 1]) << 8);
        const bool joins = sizeof(wchar_t) > 2 && !out.empty() && unit >= 0xDC00 &&
                           unit <= 0xDFFF && out.back() >= 0xD800 && out.back() <= 0xDBFF;
        if (joins)
            out.back() =
                static_cast<wchar_t>(0x10000 + ((out.back() - 0xD800) << 10) + (unit - 0xDC00));
        else
            out.push_back(unit);
    }
    return out;
}

std::wstring WithoutCarriageReturns(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n'))
            out.push_back(text[i]);
    return out;
}

std::wstring CutLongLines(const std::wstring& text) {
    std::wstring out;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find(L'\n', start);
        end = end == std::wstring::npos ? text.size() : end;
        const std::size_t length = end - start;
        out.append(text, start, std::min(length, kQXDumpMaxLine));
        if (length > kQXDumpMaxLine)
            out += QXFormat(L" [%d more characters not shown]",
                            static_cast<long long>(length - kQXDumpMaxLine));
        if (end < text.size())
            out.push_back(L'\n');
        start = end + 1;
    }
    return out;
}

} // namespace

bool QXReadConfigurationDump(const std::wstring& fileName, std::wstring& text) {
    const qxplat::FilePtr file = qxplat::OpenShared(fileName, "rb");
    if (!file)
        return false;
    std::string bytes(kQXDumpMaxBytes, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
    const std::int64_t length = qxplat::OpenFileLength(file.get());
    const bool utf16 = bytes.compare(0, 2, "\xFF\xFE") == 0;
    text = CutLongLines(
        WithoutCarriageReturns(utf16 ? DecodeUtf16(bytes.substr(2)) : qxplat::FromLogText(bytes)));
    const auto shown = static_cast<std::int64_t>(bytes.size());
    if (length > shown)
        text += QXFormat(L"\n[%d more bytes of %d not shown]",
                         static_cast<long long>(length - shown), static_cast<long long>(length));
    return true;
}
