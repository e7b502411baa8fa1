#include "QXSitePreview.h"

#include <cstdio>
#include <sstream>
#include <vector>

#include "QXAppServices.h"
#include "QXIniFile.h"
#include "QXWireText.h"

namespace {

const char kLang[] = "en";

// A form value as a launcher in English sends it.
std::string Encoded(const std::string& value) {
    std::string text;
    for (unsigned char c : QXToWire(value, kLang)) {
        char escape[4];
        std::snprintf(escape, sizeof escape, "%%%02X", c);
        text += std::isalnum(c) || c == '.' || c == '-' || c == '_' ? std::string(1, c) : escape;
    }
    return text;
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string::npos;
         start = at + separator.size())
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

// A reply table as "Column = value" lines for one row, or a header line and TAB-separated rows.
void PrintTable(std::ostream& out, const std::string& body) {
    const auto lines = Split(body, "\r\n");
    std::vector<std::string> columns;
    for (const auto& entry : Split(lines[0].substr(lines[0].find('=') + 1), ";"))
        if (!entry.empty())
            columns.push_back(entry.substr(0, entry.find('|')));
    std::vector<std::vector<std::string>> rows;
    for (std::size_t i = 2; i < lines.size() && lines[i] != "TBLDATEND_99"; ++i)
        rows.push_back(Split(lines[i], "\t"));
    if (rows.size() == 1) {
        for (std::size_t c = 0; c < columns.size() && c < rows[0].size(); ++c)
            out << "  " << columns[c] << " = " << rows[0][c] << '\n';
        return;
    }
    std::string header;
    for (const auto& column : columns)
        header += (header.empty() ? "" : "\t") + column;
    out << "  " << header << '\n';
    for (const auto& row : rows) {
        std::string line;
        for (const auto& value : row)
            line += (line.empty() ? "" : "\t") + value;
        out << "  " << line << '\n';
    }
}

// Prints the reply; false for a refusal.
bool Show(std::ostream& out, const std::string& title, const SQXReply& reply) {
    out << title << '\n';
    if (reply.status == 200 && reply.refusal == 0 && reply.body.rfind("COLONNES=", 0) == 0) {
        PrintTable(out, reply.body);
        return true;
    }
    out << "  refused (" << reply.status << "): " << Split(reply.body, "\n")[0] << '\n';
    if (!reply.error.empty())
        out << "  reason: " << reply.error << '\n';
    return false;
}

} // namespace

CQXSitePreview::CQXSitePreview(const std::filesystem::path& root, std::ostream& out)
    : m_root(root), m_out(out) {}

int CQXSitePreview::Run(const std::string& user, const std::string& application) {
    const CQXIniFile site((m_root / "site.ini").string());
    const auto storage = OpenStorage(":memory:");
    CQXClock clock;
    CQXUserStore users(*storage, clock, site.GetInteger("Passwords", "MaxAgeDays", 90));
    CQXSessionStore sessions(*storage, clock, 1800);
    CQXReleaseStore releases(m_root);
    CQXRollouts rollouts(*storage, clock);
    CQXAppServices apps(releases, users, sessions, rollouts,
                        site.GetInteger("Passwords", "WarningDays", 14));
    const std::string session = "sessionid=" + sessions.Open(user, kLang) + "&lang=" + kLang;

    const std::string app = application.empty() ? releases.DefaultApplication() : application;
    m_out << "user " << user << ", application " << app << '\n';
    const SQXReply info = apps.ApplicationInfo(CQXForm(session + "&application=" + Encoded(app)));
    if (!Show(m_out, "GetAppInf", info))
        return 1;
    const std::string version = releases.Assignment(app, user).version;
    const std::string named = "&application=" + Encoded(app) + "&version=" + Encoded(version);
    const bool listed =
        Show(m_out, "GetAppVersionList",
             apps.VersionList(CQXForm(session + "&applicationname=" + Encoded(app))));
    const bool primary = Show(m_out, "GetAppPrimary " + version,
                              apps.Primary(CQXForm(session + "&applicationname=" + Encoded(app) +
                                                   "&versionname=" + Encoded(version))));
    const bool files =
        Show(m_out, "GetAppChecksum " + version, apps.Checksums(CQXForm(session + named)));
    return listed && primary && files ? 0 : 1;
}
