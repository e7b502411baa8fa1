#pragma once

#include <string>

// Points the system's proxy setting of this process at url while it lives: the http_proxy
// environment variables, which libcurl and Wine's WinINet read when a session opens.
class ProxyEnvironment {
public:
    explicit ProxyEnvironment(const std::wstring& url);
    ~ProxyEnvironment();
    ProxyEnvironment(const ProxyEnvironment&) = delete;
    ProxyEnvironment& operator=(const ProxyEnvironment&) = delete;
};
