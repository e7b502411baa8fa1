#pragma once

#include <string>

#include "config/QXUrlParser.h"
#include "support/TempDir.h"

// A qxurl.net of its own whose [Config] section holds lines (server keys and settings), read
// into a configuration.
class UrlConfiguration {
public:
    explicit UrlConfiguration(const std::string& lines) {
        WriteBytes(m_dir.Path() / "qxurl.net", "[Config]\r\n" + lines);
        m_read = m_config.SetInstallationPath(m_dir.Path().wstring());
    }
    CQXUrlParser& Config() { return m_config; }
    // True when the file was read.
    bool Read() const { return m_read; }

private:
    TempDir m_dir;
    CQXUrlParser m_config;
    bool m_read = false;
};
