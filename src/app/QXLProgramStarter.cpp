#include "app/QXLProgramStarter.h"

#include "base/QXProgramCommandLine.h"
#include "base/QXText.h"
#include "platform/Process.h"
#include "platform/System.h"
#include "update/QXLLastPrimary.h"

namespace {

constexpr wchar_t kNone[] = L"--";
constexpr wchar_t kDefaultPrimary[] = L"qxflux.exe";
constexpr wchar_t kDeskBar[] = L"qxbureau.exe";
constexpr std::chrono::milliseconds kStartCheckDelay{1000};

// Every occurrence of placeholder in text, left to right; a value that holds the placeholder
// itself is not replaced again.
void ReplaceAll(std::wstring& text, std::wstring_view placeholder, std::wstring_view value) {
    for (std::size_t at = text.find(placeholder); at != std::wstring::npos;
         at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
}

// A program with a drive ("C:\...") names its own place; so does an absolute path on a
// platform whose paths begin with a slash.
bool HasOwnPlace(const std::wstring& program) {
    if (program.find(L":\\", 1) != std::wstring::npos)
        return true;
    return qxplat::kPathSeparator == L'/' && !program.empty() && program.front() == L'/';
}

// Appends " option "value"" when value is set, quoted so that the value arrives as it is and
// can never close its quotes and add arguments of its own.
void AppendQuoted(std::wstring& arguments, const wchar_t* option, const std::wstring& value) {
    if (!value.empty())
        arguments.append(L" ").append(option).append(L" ").append(QXQuoteProgramArgument(value));
}

// qxflux.exe starts the desk bar itself ("-b") when the application asks for it by default,
// the default primary application runs, and nothing else on the launch list rules it out.
bool DeskBarByPrimary(const CQXLApplicationInfo& info, int hasCustomPrimary,
                      const CQXLFileSet& files) {
    return info.StartBureauByDefault != 0 && hasCustomPrimary == 0 &&
           (files.StartBureau() != 0 || files.LaunchList().empty());
}

} // namespace

CQXLProgramStarter::CQXLProgramStarter(CQXLLog& log, CQXLApplication& application,
                                       CQXLServerClient& server)
    : m_log(log), m_application(application), m_server(server) {}

std::vector<QXPlaceholder> CQXLProgramStarter::Placeholders() const {
    return {{L"$SESSIONID$", m_server.GetSessionId()},
            {L"$USERNAME$", m_server.GetSessionUserName()},
            {L"$APPLICATIONNAME$", m_application.Info().ApplicationName},
            {L"$VERSION$", m_application.Info().Version}};
}

void CQXLProgramStarter::ExpandPlaceholders(std::wstring& text) const {
    for (const QXPlaceholder& placeholder : Placeholders())
        ReplaceAll(text, placeholder.name, placeholder.value);
}

int CQXLProgramStarter::LaunchProcess(const std::wstring& program,
                                      const std::optional<std::wstring>& arguments) {
    std::wstring commandLine = L"\"";
    if (!HasOwnPlace(program))
        commandLine += m_application.InstallationDirectory();
    commandLine += program;
    commandLine += L'"';
    if (arguments && *arguments != kNone)
        commandLine.append(L" ").append(*arguments);
    // Every value comes from the server or the user: none may add an argument or a command.
    const std::wstring_view refused =
        QXExpandProgramCommandLine(commandLine, Placeholders(), QXRunsThroughShell(program));
    if (!refused.empty()) {
        m_lastStarted.reset();
        m_log.LogError(L"Unable to launch %s : the value of %s would change its command line",
                       program, std::wstring(refused));
        return 0;
    }
    m_log.LogDebug(L"Command line : %s", QXMaskProgramCommandLine(commandLine));

    m_lastStarted = qxplat::StartProcess(commandLine, QXSplitProgramCommandLine(commandLine));
    if (!m_lastStarted) {
        const int error = static_cast<int>(qxplat::LastError());
        m_log.LogError(L"Unable to launch %s : %d", program, error);
        return 0;
    }
    m_log.LogProduction(L"Process %s launched", program);
    (m_clock != nullptr ? *m_clock : QXLSystemClock()).Sleep(kStartCheckDelay);
    if (!m_lastStarted->IsRunning())
        m_log.LogInfo(L"Process %s stopped", program);
    return 1;
}

int CQXLProgramStarter::StartPrimaryApplication(const std::wstring& extra) {
    RecallLastPrimary();
    const CQXLPrimaryApplication& primary = m_application.Primary();
    if (!primary.PrimaryName.empty() && primary.PrimaryName != kNone) {
        m_log.LogProduction(L"Starting primary application");
        return LaunchProcess(primary.PrimaryName, primary.PrimaryParameters + L" " + extra);
    }
    m_log.LogProduction(L"No primary application, starting qxflux");
    return StartDefaultPrimary(extra);
}

void CQXLProgramStarter::RecallLastPrimary() {
    if (m_server.PrimaryVerified() || !m_server.SignatureRefused())
        return;
    if (const auto last = CQXLLastPrimary(m_application.InstallationDirectory()).Recall()) {
        m_application.Primary() = *last;
        m_log.LogWarning(L"Replies refused for their signature : starting the last verified "
                         L"primary application \"%s\"",
                         last->PrimaryName.empty() ? std::wstring(kDefaultPrimary)
                                                   : last->PrimaryName);
    }
}

int CQXLProgramStarter::StartDefaultPrimary(const std::wstring& extra) {
    std::wstring arguments = L"-CS $SESSIONID$,$USERNAME$";
    AppendQuoted(arguments, L"-proxyLogin", m_server.GetProxyUserName());
    AppendQuoted(arguments, L"-proxyPassword", m_server.GetProxyPassword());
    AppendQuoted(arguments, L"-serverLogin", m_server.GetServerLogin());
    AppendQuoted(arguments, L"-serverPassword", m_server.GetServerPassword());
    if (m_application.Primary().PrimaryParameters != kNone)
        arguments.append(L" ").append(m_application.Primary().PrimaryParameters);
    if (extra != kNone)
        arguments.append(L" ").append(extra);
    if (DeskBarByPrimary(m_application.Info(), HasCustomPrimary(), m_application.Files())) {
        arguments.append(L" -b");
        m_log.LogInfo(L"Add parameter to qxflux to start deskbar");
    }
    return LaunchProcess(kDefaultPrimary, arguments);
}

int CQXLProgramStarter::HasCustomPrimary() const {
    const std::wstring& name = m_application.Primary().PrimaryName;
    return !name.empty() && name != kNone && !QXEqualsNoCase(name, kDefaultPrimary) ? 1 : 0;
}

int CQXLProgramStarter::StartLaunchList() {
    const CQXLFileSet::FileList& list = m_application.Files().LaunchList();
    if (list.empty())
        return 0;
    const bool deskBarByPrimary =
        DeskBarByPrimary(m_application.Info(), HasCustomPrimary(), m_application.Files());
    for (const auto& file : list) {
        if (deskBarByPrimary && QXEqualsNoCase(file->FileName(), kDeskBar))
            continue;
        LaunchProcess(file->RelativeName(), file->Parameters());
    }
    return 1;
}

void CQXLProgramStarter::OpenDocument(const std::wstring& name) {
    std::wstring path = name;
    if (!HasOwnPlace(name)) {
        path = m_application.InstallationDirectory() + L"_QXLTmp" + qxplat::kPathSeparator + name;
    }
    m_log.LogInfo(L"Opening document %s", path);
    qxplat::OpenDocument(path);
}
