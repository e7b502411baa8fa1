#pragma once

#include <cstddef>
#include <string>

// The certificate authorities of a PEM bundle (the site's SecurityCAFile) that secure requests
// trust besides the system's own. A bundle is read once per path and process.
namespace qxplat {

// Reads the bundle at path: true with count, the number of its certificates; false with
// problem, one line telling why (missing, unreadable, no certificate in it).
bool ReadAuthorityFile(const std::wstring& path, std::size_t& count, std::wstring& problem);

} // namespace qxplat
