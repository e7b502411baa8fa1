#pragma once

#include <curl/curl.h>
#include <memory>

// Owning wrappers of libcurl's handles and the process-wide state every transfer shares.
namespace qxplat {

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

struct CurlMultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};

struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

struct CurlUrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using CurlUrl = std::unique_ptr<CURLU, CurlUrlDeleter>;

// Initialises libcurl once for the process; safe from any thread.
void EnsureCurl();

// A new easy handle whose cookies live in the process's one cookie store, which outlives
// every transfer (as WinINet's does). Null when libcurl cannot make one.
CurlEasy NewCookieSharingEasy();

} // namespace qxplat
