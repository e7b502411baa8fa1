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

bool IsDoubleByte(unsigned codePage) {
    return codePage == kJapanese || codePage == 936 || codePage == 949 || codePage == 950;
}

std::string CharsetName(unsigned codePage) { return "CP" + std::to_string(codePage); }

// The iconv descriptors of one code page, both ways.
struct Codec {
    explicit Codec(unsigned page)
        : codePage(page), encoder(CharsetName(page).c_str(), "WCHAR_T"),
          decoder("WCHAR_T", CharsetName(page).c_str()) {}
    bool Valid() const { return encoder.Valid() && decoder.Valid(); }

    unsigned codePage;
    CIconv encoder;
    CIconv decoder;
};

std::wstring Decode(Codec& codec, std::string_view bytes) {
    std::string wide;
    // A byte that a single-byte page leaves undefined gives the character of the same value,
    // as on Windows; iconv's tables leave it out.
    codec.decoder.Convert(bytes.data(), bytes.size(), wide,
                          [&codec](const char* in, std::size_t, std::string& replaced) {
                              const wchar_t c = codec.codePage == kJapanese ? kJapaneseDefault
                                                : IsDoubleByte(codec.codePage)
                                                    ? L'?'
                                                    : static_cast<unsigned char>(*in);
                              replaced.append(reinterpret_cast<const char*>(&c), sizeof c);
                              return std::size_t{1};
                          });
    std::wstring out(wide.size() / sizeof(wchar_t), L'\0');
    std::memcpy(out.data(), wide.data(), out.size() * sizeof(wchar_t));
    return out;
}

// Encodes text with iconv alone; each character it cannot convert becomes '?' and counts as a
// miss, except one of a single-byte page's undefined bytes, which goes as that byte.
std::string EncodeDirect(Codec& codec, std::wstring_view text, std::size_t& misses) {
    std::string out;
    out.reserve(text.size());
    codec.encoder.Convert(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t),
                          out, [&](const char* in, std::size_t, std::string& replaced) {
                              wchar_t c = 0;
                              std::memcpy(&c, in, sizeof c);
                              const auto value = static_cast<unsigned>(c);
                              const std::string byte(1, static_cast<char>(value));
                              if (!IsDoubleByte(codec.codePage) && value < 0x100 &&
                                  Decode(codec, byte) == std::wstring(1, c)) {
                                  replaced += byte;
                              } else {
                                  replaced.push_back('?');
                                  ++misses;
                              }
                              return sizeof(wchar_t);
                          });
    return out;
}

// Encodes text; a character that the page cannot hold exactly (iconv lacks it, or gives a
// look-alike that reads back as another character, as "¥" as "\" in 932) becomes '?' and
// counts as a miss.
std::string Encode(std::wstring_view text, unsigned codePage, std::size_t& misses) {
    misses = 0;
    Codec codec(codePage);
    if (!codec.Valid()) {
        misses = text.size();
        return std::string(text.size(), '?');
    }
    std::string out = EncodeDirect(codec, text, misses);
    if (misses == 0 && Decode(codec, out) == text)
        return out;
    out.clear();
    misses = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t miss = 0;
        const std::string piece = EncodeDirect(codec, text.substr(i, 1), miss);
        if (miss == 0 && Decode(codec, piece) == text.substr(i, 1)) {
            out += piece;
        } else {
            out.push_back('?');
            ++misses;
        }
    }
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
    Codec codec(codePage);
    if (!codec.Valid())
        return std::wstring(bytes.size(), L'?');
    return Decode(codec, bytes);
}

} // namespace qxplat
