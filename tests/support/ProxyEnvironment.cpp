#include "support/ProxyEnvironment.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>

ProxyEnvironment::ProxyEnvironment(const std::wstring& url) {
    SetEnvironmentVariableW(L"http_proxy", url.c_str());
    _wputenv_s(L"http_proxy", url.c_str());
}

ProxyEnvironment::~ProxyEnvironment() {
    SetEnvironmentVariableW(L"http_proxy", nullptr);
    _wputenv_s(L"http_proxy", L"");
}
#else
ProxyEnvironment::ProxyEnvironment(const std::wstring& url) {
    setenv("http_proxy", std::string(url.begin(), url.end()).c_str(), 1);
}

ProxyEnvironment::~ProxyEnvironment() {
    unsetenv("http_proxy");
}
#endif
