#pragma once

#include <string>

// Where the transport tests' fixture runs its echoing HTTP peer and squid, and the
// credentials squid wants. The fixture's peers file is QX_HTTP_PEERS, relative to the working
// directory.
struct HttpPeers {
    std::wstring peer;       // "http://127.0.0.1:port"
    std::wstring securePeer; // "https://127.0.0.1:port", the same routes with a self-signed
                             // certificate
    std::wstring drip;       // "http://127.0.0.1:port", answering slowly (/drip-headers/<N>/,
                             // /drip-body/)
    std::wstring proxy;      // "http://127.0.0.1:port"
    std::wstring proxyUser;
    std::wstring proxyPassword;
};

// Read from the fixture's peers file; a test failure when it is missing.
HttpPeers LoadHttpPeers();

// Bytes in lower-case hex digits, as the peer's /padded and /replay routes take them.
inline std::string PeerHex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex.push_back(kDigits[c >> 4]);
        hex.push_back(kDigits[c & 15]);
    }
    return hex;
}
