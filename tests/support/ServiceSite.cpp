#include "support/ServiceSite.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

#include "platform/HttpTransport.h"
#include "platform/Text.h"

namespace {

std::map<std::string, std::string> ReadPairs(const char* file) {
    std::map<std::string, std::string> values;
    std::ifstream in(file);
    for (std::string key, value; in >> key >> value;)
        values[key] = value;
    return values;
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

} // namespace

ServiceSite LoadServiceSite() {
    auto servers = ReadPairs("qxservers/servers.txt");
    auto peers = ReadPairs("http_peers/peers.txt");
    ServiceSite site;
    if (servers.size() < 3 || peers.size() < 5) {
        ADD_FAILURE() << "no servers: run through ctest, whose fixtures start them";
        return site;
    }
    site.server = Wide(servers["http"]);
    site.tlsServer = Wide(servers["https"]);
    site.refused = L"http://127.0.0.1:" + Wide(servers["refused"]) + L"/";
    site.peer = L"http://127.0.0.1:" + Wide(peers["http"]);
    site.proxy = L"http://127.0.0.1:" + Wide(peers["proxy"]);
    site.proxyUser = Wide(peers["proxyUser"]);
    site.proxyPassword = Wide(peers["proxyPassword"]);
    return site;
}

Installation::Installation(const std::vector<std::wstring>& urls, const std::string& extraLines,
                           QXLanguageBase base)
    : m_list(m_log.Log(), base) {
    std::string text = "[Config]\r\n";
    for (std::size_t i = 0; i < urls.size(); ++i)
        text += "URL" + std::to_string(i + 1) + "=" + qxplat::ToNarrow(urls[i]) + "\r\n";
    WriteBytes(m_dir.Path() / "qxurl.net", text + extraLines);
    m_list.SetInstallationDirectory(m_dir.Path().wstring());
    m_list.SetUserInterface(&m_ui);
}

std::wstring Installation::CurrentServer() {
    const QXUrlServerPtr server = m_list.GetUrlParser().GetServerList().GetCurrentServer();
    return server ? server->GetUrl() : std::wstring();
}

bool InjectFault(const std::wstring& server, const std::string& instruction) {
    CQXUrlServer parts;
    parts.SetUrl(server);
    qxplat::HttpError error;
    auto session = qxplat::HttpSession::Open(L"QXTest", error);
    if (!session)
        return false;
    auto connection = session->Connect(parts.GetHost(),
                                       static_cast<unsigned short>(parts.GetPort()), false, error);
    if (!connection)
        return false;
    auto request = connection->OpenRequest(L"POST", L"/_faults", false, false, error);
    unsigned long lastError = 0;
    std::wstring status;
    return request && request->Send(instruction, lastError) && request->StatusText(status, error) &&
           status == L"200";
}

std::vector<std::string> ErrorLines(const TestLog& log) {
    std::vector<std::string> lines;
    std::istringstream in(log.Text());
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t text = line.find("] - ");
        if (line.rfind("**", 0) == 0 && text != std::string::npos)
            lines.push_back(line.substr(text + 4));
    }
    return lines;
}
