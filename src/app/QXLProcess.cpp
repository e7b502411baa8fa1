#include "app/QXLProcess.h"

#include <string_view>
#include <vector>

#include "app/QXCommandLine.h"
#include "app/QXLBuildInfo.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace {

constexpr wchar_t kDumpFormat[] = L"Configuration file [%s] content:\n\n"
                                  L"==============================================\n"
                                  L"%s\n"
                                  L"==============================================";

// Reads a whole file as the C runtime's wide text stream would: CR LF becomes LF.
bool ReadTextFile(const std::wstring& fileName, std::wstring& content) {
    std::string bytes;
    if (!qxplat::ReadWholeFile(fileName, bytes))
        return false;
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
            text.push_back(bytes[i]);
    content = qxplat::FromLogText(text);
    return true;
}

} // namespace

CQXLProcess::CQXLProcess(IQXLProgressWindow* progressWindow, QXLanguageBase languageBase,
                         const std::wstring& commandLine)
    : m_progressWindow(progressWindow), m_fileList(m_log, languageBase), m_authenDlg(languageBase),
      m_changePwdDlg(languageBase), m_nextPasscodeDlg(languageBase), m_newPinDlg(languageBase),
      m_selectVersionDlg(languageBase), m_languageBase(languageBase), m_commandLine(commandLine),
      m_programPath(&qxplat::ModulePath) {}

CQXLProcess::CQXLProcess(IQXLProgressWindow* progressWindow, QXLanguageBase languageBase,
                         const std::wstring& commandLine, const std::wstring& logDirectory,
                         const std::wstring& programPath)
    : m_progressWindow(progressWindow), m_log(logDirectory), m_fileList(m_log, languageBase),
      m_authenDlg(languageBase), m_changePwdDlg(languageBase), m_nextPasscodeDlg(languageBase),
      m_newPinDlg(languageBase), m_selectVersionDlg(languageBase), m_languageBase(languageBase),
      m_commandLine(commandLine), m_programPath([programPath] { return programPath; }) {}

int CQXLProcess::RunSequence() {
    m_log.SetTag(L"QXLauncher");
    WriteBanner();
    DumpConfigurationFile(L"QXLauncher.ini", false);
    DumpConfigurationFile(L"QXUrl.net", true);
    if (!TakeInstallationDirectory())
        return 0;
    if (m_fileList.GetUrlParser().GetServerList().GetCount() == 0) {
        m_log.LogInfo(L"END : no URL parameter in qxurl.net");
        m_exitCode = 1;
        return 0;
    }
    ParseCommandLine();
    return 0;
}

// The installation is the program's own folder; taking it also reads qxurl.net from there.
bool CQXLProcess::TakeInstallationDirectory() {
    const std::wstring program = m_programPath();
    const std::size_t cut = program.find_last_of(qxplat::kPathSeparator);
    if (cut == std::wstring::npos) {
        m_log.LogError(L"END : Unable to detect installation path : %d", qxplat::LastError());
        return false;
    }
    m_fileList.SetInstallationDirectory(program.substr(0, cut + 1));
    return true;
}

void CQXLProcess::WriteBanner() {
    m_log.LogProduction(L"-----------------------");
    m_log.LogProduction(L"- QXLauncher starting -");
    m_log.LogProduction(L"-----------------------");
    m_log.LogFileVersion();
    m_log.LogProduction(L"Internal version: %s [%s %s]", kQXInternalVersion, kQXChangeStamp,
                        kQXDateTimeStamp);
}

// The dump looks in the current directory: it records what the user's start folder holds,
// while the settings themselves are read beside the program.
void CQXLProcess::DumpConfigurationFile(const std::wstring& fileName, bool missingIsError) {
    std::wstring content;
    if (ReadTextFile(fileName, content))
        m_log.LogDebug(kDumpFormat, fileName, content);
    else if (missingIsError)
        m_log.LogError(L"Unable to find configuration file [%s]", fileName);
    else
        m_log.LogDebug(L"Unable to find configuration file [%s]", fileName);
}

bool CQXLProcess::ParseCommandLine() {
    if (m_log.IsDebugEnabled())
        m_log.LogDebug(L"QXLauncher Command Line: [%s]", QXMaskCommandLineSecrets(m_commandLine));
    std::vector<std::wstring> arguments;
    SplitCommandLine(m_commandLine.c_str(), arguments);

    bool handedOver = false;
    Option pending = Option::None;
    for (const std::wstring& argument : arguments) {
        // A pending option takes the next argument whatever it looks like, even an option.
        if (pending != Option::None) {
            StoreOptionValue(pending, argument);
            pending = Option::None;
        } else if (argument.compare(0, std::wstring_view(kQXOptionSession).size(),
                                    kQXOptionSession) == 0) {
            handedOver = TakeSession(argument) || handedOver;
        } else if (argument == kQXOptionProxyLogin) {
            pending = Option::ProxyLogin;
        } else if (argument == kQXOptionProxyPassword) {
            pending = Option::ProxyPassword;
        } else if (argument == kQXOptionServerLogin) {
            pending = Option::ServerLogin;
        } else if (argument == kQXOptionServerPassword) {
            pending = Option::ServerPassword;
        }
    }
    return handedOver;
}

// "-SID:" followed by the session id, a comma and the user name, which may hold commas.
bool CQXLProcess::TakeSession(const std::wstring& argument) {
    m_log.LogProduction(L"Session found : %s, no need to login again", argument);
    const std::wstring session = argument.substr(std::wstring_view(kQXOptionSession).size());
    const std::size_t comma = session.find(L',');
    if (comma == std::wstring::npos) {
        m_log.LogError(L"Failed to parse Session string: malformed SID");
        return false;
    }
    const std::wstring sessionId = session.substr(0, comma);
    const std::wstring userName = session.substr(comma + 1);
    if (sessionId.empty() || userName.empty()) {
        m_log.LogError(L"Failed to parse Session string: malformed SID content");
        return false;
    }
    m_fileList.GetDownloader().SetSessionId(sessionId);
    m_fileList.SetSessionUserName(userName);
    return true;
}

void CQXLProcess::StoreOptionValue(Option option, const std::wstring& value) {
    switch (option) {
    case Option::ProxyLogin:
        m_fileList.GetDownloader().SetProxyUserName(value);
        break;
    case Option::ProxyPassword:
        m_fileList.GetDownloader().SetProxyPassword(value);
        break;
    case Option::ServerLogin:
        m_fileList.SetServerLogin(value);
        m_authenDlg.SetLogin(value);
        break;
    case Option::ServerPassword:
        m_fileList.SetServerPassword(value);
        m_authenDlg.SetPassword(value);
        break;
    case Option::None:
        break;
    }
}
