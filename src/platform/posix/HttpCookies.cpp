#include <ctime>
#include <string>
#include <vector>

#include "platform/SystemHttp.h"
#include "platform/Text.h"
#include "platform/posix/CurlHandles.h"

namespace qxplat {

namespace {

struct UrlParts {
    std::string scheme;
    std::string host;
    std::string path;
};

bool SplitUrl(const std::string& text, UrlParts& parts) {
    CurlUrl url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK)
        return false;
    const auto part = [&](CURLUPart which, std::string& out) {
        char* value = nullptr;
        if (curl_url_get(url.get(), which, &value, 0) != CURLUE_OK)
            return false;
        out = value;
        curl_free(value);
        return true;
    };
    return part(CURLUPART_SCHEME, parts.scheme) && part(CURLUPART_HOST, parts.host) &&
           part(CURLUPART_PATH, parts.path);
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

bool DomainMatches(std::string domain, bool tailMatch, const std::string& host) {
    const std::string httpOnly = "#HttpOnly_";
    if (domain.compare(0, httpOnly.size(), httpOnly) == 0)
        domain.erase(0, httpOnly.size());
    if (!domain.empty() && domain[0] == '.')
        domain.erase(0, 1);
    if (host == domain)
        return true;
    return tailMatch && host.size() > domain.size() &&
           host.compare(host.size() - domain.size(), domain.size(), domain) == 0 &&
           host[host.size() - domain.size() - 1] == '.';
}

bool PathMatches(const std::string& cookiePath, const std::string& path) {
    if (path.compare(0, cookiePath.size(), cookiePath) != 0)
        return false;
    return path.size() == cookiePath.size() || cookiePath.back() == '/' ||
           path[cookiePath.size()] == '/';
}

// Fields of one line of curl's cookie list (Netscape format: domain, tail match, path,
// secure, expiry, name, value).
enum Field { Domain, TailMatch, Path, Secure, Expiry, Name, Value, FieldCount };

// The fields of line when its cookie applies to the URL and has not expired; else empty.
std::vector<std::string> MatchingFields(const std::string& line, const UrlParts& url) {
    std::vector<std::string> f = Fields(line);
    if (f.size() < FieldCount || !DomainMatches(f[Domain], f[TailMatch] == "TRUE", url.host) ||
        !PathMatches(f[Path], url.path) || (f[Secure] == "TRUE" && url.scheme != "https"))
        return {};
    const long long expiry = std::stoll(f[Expiry]);
    if (expiry != 0 && expiry < static_cast<long long>(std::time(nullptr)))
        return {};
    return f;
}

void AppendIfMatching(const std::string& line, const UrlParts& url, std::string& text) {
    const std::vector<std::string> f = MatchingFields(line, url);
    if (f.empty())
        return;
    if (!text.empty())
        text += "; ";
    text += f[Name] + "=" + f[Value];
}

// The cookie list of the process; null (with nothing to free) when it cannot be read.
CurlList CookieList(const CurlEasy& easy) {
    curl_slist* list = nullptr;
    if (!easy || curl_easy_getinfo(easy.get(), CURLINFO_COOKIELIST, &list) != CURLE_OK)
        return CurlList(nullptr);
    return CurlList(list);
}

} // namespace

bool SystemCookiesForUrl(const std::wstring& url, std::string& cookies, HttpError& error) {
    cookies.clear();
    UrlParts parts;
    const CurlEasy easy = NewCookieSharingEasy();
    const CurlList list = CookieList(easy);
    if (!list || !SplitUrl(ToNarrow(url), parts)) {
        error = {HttpStep::FindCookie, CURLE_BAD_FUNCTION_ARGUMENT};
        return false;
    }
    for (const curl_slist* item = list.get(); item != nullptr; item = item->next)
        AppendIfMatching(item->data, parts, cookies);
    if (cookies.empty()) {
        error = {HttpStep::FindCookie, 0};
        return false;
    }
    return true;
}

// The same cookie again with an expiry in the past replaces it, and curl drops expired cookies.
void SystemForgetCookie(const std::wstring& url, const std::string& name) {
    UrlParts parts;
    const CurlEasy easy = NewCookieSharingEasy();
    const CurlList list = CookieList(easy);
    if (!list || !SplitUrl(ToNarrow(url), parts))
        return;
    for (const curl_slist* item = list.get(); item != nullptr; item = item->next) {
        std::vector<std::string> f = MatchingFields(item->data, parts);
        if (f.empty() || f[Name] != name)
            continue;
        f[Expiry] = "1";
        std::string line = f[Domain];
        for (int i = TailMatch; i < FieldCount; ++i)
            line += "\t" + f[i];
        curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, line.c_str());
    }
}

} // namespace qxplat
