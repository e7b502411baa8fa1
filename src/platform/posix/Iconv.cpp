#include "Iconv.h"

#include <algorithm>
#include <cerrno>

namespace qxplat {

CIconv::CIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}

CIconv::~CIconv() {
    if (Valid())
        iconv_close(m_cd);
}

bool CIconv::Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

void CIconv::Convert(const char* data, std::size_t size, std::string& out, const Stuck& stuck) {
    // iconv's interface takes a non-const input pointer but never writes through it.
    char* in = const_cast<char*>(data);
    std::size_t inLeft = size;
    char buffer[4096];
    while (inLeft > 0) {
        char* outPointer = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(m_cd, &in, &inLeft, &outPointer, &outLeft);
        const int error = errno;
        out.append(buffer, sizeof buffer - outLeft);
        if (result != static_cast<std::size_t>(-1) || error == E2BIG)
            continue;
        // EILSEQ or EINVAL (a sequence cut by the end of the input): the caller fills the gap.
        const std::size_t skip = std::clamp<std::size_t>(stuck(in, inLeft, out), 1, inLeft);
        in += skip;
        inLeft -= skip;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    }
}

} // namespace qxplat
