#include "Iconv.h"

#include <iconv.h>

namespace qxplat {

std::optional<std::string> ConvertCharset(const std::string& bytes, const char* to,
                                          const char* from) {
    const iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    // Four output bytes per input byte cover every conversion between these sets.
    std::string in = bytes;
    std::string out(in.size() * 4 + 16, '\0');
    char* inPointer = in.data();
    std::size_t inLeft = in.size();
    char* outPointer = out.data();
    std::size_t outLeft = out.size();
    const std::size_t result = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace qxplat
