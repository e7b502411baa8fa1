#include "support/ProxyEnvironment.h"

#include <cstdlib>

#ifdef _WIN32
ProxyEnvironment::ProxyEnvironment(const std::wstring& url) {
    _wputenv_s(L"http_proxy", url.c_str());
}

ProxyEnvironment::~ProxyEnvironment() { _wputenv_s(L"http_proxy", L""); }
#else
// libcurl takes the proxy of secure requests from https_proxy.
ProxyEnvironment::ProxyEnvironment(const std::wstring& url) {
    const std::string narrow(url.begin(), url.end());
    setenv("http_proxy", narrow.c_str(), 1);
    setenv("https_proxy", narrow.c_str(), 1);
}

ProxyEnvironment::~ProxyEnvironment() {
    unsetenv("http_proxy");
    unsetenv("https_proxy");
}
#endif
