#include "support/Installation.h"

#include <sstream>

#include "platform/Text.h"

Installation::Installation(const std::vector<std::wstring>& urls, const std::string& extraLines,
                           QXLanguageBase base)
    : m_server(m_log.Log(), base, m_configuration, m_application, m_instructions),
      m_installer(m_log.Log(), base, m_application.Files(), m_instructions, m_server.GetFetcher(),
                  m_starter),
      m_downloads(m_log.Log(), base, m_configuration, m_application.Info(), m_application.Files(),
                  m_instructions, m_server.GetFrames(), m_server.GetFetcher(), m_starter) {
    std::string text = "[Config]\r\n";
    for (std::size_t i = 0; i < urls.size(); ++i)
        text += "URL" + std::to_string(i + 1) + "=" + qxplat::ToNarrow(urls[i]) + "\r\n";
    WriteBytes(m_dir.Path() / "qxurl.net", text + extraLines);
    m_application.SetInstallationDirectory(m_dir.Path().wstring());
    m_server.SetUserInterface(&m_ui);
}

std::wstring Installation::CurrentServer() {
    const QXUrlServerPtr server = m_configuration.GetServerList().GetCurrentServer();
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
