#include "support/Installation.h"

#include <sstream>

#include "platform/Text.h"

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
