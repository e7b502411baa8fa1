#include <cstring>

#include "Iconv.h"
#include "platform/Text.h"

// The Windows code pages through the C library's iconv, with the gaps filled as Windows fills
// them, so that a Linux launcher and a Windows one send and read the same bytes.
namespace qxplat {

namespace {

constexpr unsigned kJapanese = 932;
// The character Windows gives for a sequence that code page 932 does not define.
constexpr wchar_t kJapaneseDefault = 0x30FB;

const char* CharsetName(unsigned codePage) { return codePage == kJapanese ? "CP932" : "CP1252"; }

// The five bytes that code page 1252 leaves undefined: Windows maps each to the character of
// the same value and back, which iconv's table does not.
bool IsUndefinedIn1252(unsigned value) {
    return value == 0x81 || value == 0x8D || value == 0x8F || value == 0x90 || value == 0x9D;
}

// Encodes text; each character that the page cannot hold becomes '?' and counts as a miss.
std::string Encode(std::wstring_view text, unsigned codePage, std::size_t& misses) {
    std::string out;
    misses = 0;
    CIconv converter(CharsetName(codePage), "WCHAR_T");
    if (!converter.Valid()) {
        misses = text.size();
        return std::string(text.size(), '?');
    }
    out.reserve(text.size());
    converter.Convert(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t),
                      out, [&](const char* in, std::size_t, std::string& replaced) {
                          wchar_t c = 0;
                          std::memcpy(&c, in, sizeof c);
                          const auto value = static_cast<unsigned>(c);
                          if (codePage != kJapanese && IsUndefinedIn1252(value)) {
                              replaced.push_back(static_cast<char>(value));
                          } else {
                              replaced.push_back('?');
                              ++misses;
                          }
                          return sizeof(wchar_t);
                      });
    return out;
}

} // namespace

std::string ToCodePage(std::wstring_view text, unsigned codePage) {
    std::size_t misses = 0;
    return Encode(text, codePage, misses);
}

bool FitsCodePage(std::wstring_view text, unsigned codePage) {
    std::size_t misses = 0;
    Encode(text, codePage, misses);
    return misses == 0;
}

std::wstring FromCodePage(std::string_view bytes, unsigned codePage) {
    CIconv converter("WCHAR_T", CharsetName(codePage));
    if (!converter.Valid())
        return std::wstring(bytes.size(), L'?');
    std::string wide;
    converter.Convert(bytes.data(), bytes.size(), wide,
                      [codePage](const char* in, std::size_t, std::string& replaced) {
                          const wchar_t c = codePage == kJapanese ? kJapaneseDefault
                                                                  : static_cast<unsigned char>(*in);
                          replaced.append(reinterpret_cast<const char*>(&c), sizeof c);
                          return std::size_t{1};
                      });
    std::wstring out(wide.size() / sizeof(wchar_t), L'\0');
    std::memcpy(out.data(), wide.data(), out.size() * sizeof(wchar_t));
    return out;
}

} // namespace qxplat
