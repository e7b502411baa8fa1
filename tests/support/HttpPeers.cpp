#include "support/HttpPeers.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace {

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

} // namespace

HttpPeers LoadHttpPeers() {
    std::map<std::string, std::string> values;
    if (const char* file = std::getenv("QX_HTTP_PEERS")) {
        std::ifstream in(file);
        for (std::string key, value; in >> key >> value;)
            values[key] = value;
    }
    HttpPeers peers;
    if (values.size() < 6) {
        ADD_FAILURE() << "no peers: run through ctest, whose fixture starts them";
        return peers;
    }
    peers.peer = L"http://127.0.0.1:" + Wide(values["http"]);
    peers.securePeer = L"https://127.0.0.1:" + Wide(values["https"]);
    peers.drip = L"http://127.0.0.1:" + Wide(values["drip"]);
    peers.proxy = L"http://127.0.0.1:" + Wide(values["proxy"]);
    peers.proxyUser = Wide(values["proxyUser"]);
    peers.proxyPassword = Wide(values["proxyPassword"]);
    return peers;
}
