#pragma once

#include <cstddef>
#include <functional>
#include <iconv.h>
#include <string>

namespace qxplat {

// One conversion between two character sets with the C library's iconv; the descriptor is
// closed with the object. Not shared between threads.
class CIconv {
public:
    CIconv(const char* to, const char* from);
    ~CIconv();
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;

    // False when the C library knows one of the sets not.
    bool Valid() const;

    // Where the conversion stops at input it cannot convert (bytes points there, left bytes
    // remain): appends a replacement to out and returns how many input bytes to pass over.
    using Stuck = std::function<std::size_t(const char* bytes, std::size_t left, std::string& out)>;

    // Converts size bytes at data, appending the result to out; stuck fills each gap, so the
    // whole input is always consumed.
    void Convert(const char* data, std::size_t size, std::string& out, const Stuck& stuck);

private:
    iconv_t m_cd;
};

} // namespace qxplat
