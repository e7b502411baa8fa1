#include <string_view>
#include <vector>

#include "app/QXLProcess.h"
#include "base/QXCommandLine.h"
#include "base/QXText.h"

bool CQXLProcess::ParseCommandLine() {
    if (m_log.IsDebugEnabled())
        m_log.LogDebug(L"QXLauncher Command Line: [%s]",
                       m_arguments ? QXJoinCommandLine(QXMaskSecretArguments(*m_arguments))
                                   : QXMaskCommandLineSecrets(m_commandLine));
    std::vector<std::wstring> arguments;
    if (m_arguments)
        arguments = *m_arguments;
    else
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
    // The id goes on the started programs' command lines, which it must not break.
    if (!QXIsSafeSessionId(sessionId)) {
        m_log.LogError(L"Failed to parse Session string: session id holds characters other "
                       L"than letters, digits and -._~+/=");
        return false;
    }
    m_server.SetSessionId(sessionId);
    m_server.SetSessionUserName(userName);
    return true;
}

void CQXLProcess::StoreOptionValue(Option option, const std::wstring& value) {
    switch (option) {
    case Option::ProxyLogin:
        m_server.SetProxyUserName(value);
        break;
    case Option::ProxyPassword:
        m_server.SetProxyPassword(value);
        break;
    case Option::ServerLogin:
        m_server.SetServerLogin(value);
        m_authenDlg.SetLogin(value);
        break;
    case Option::ServerPassword:
        m_server.SetServerPassword(value);
        m_authenDlg.SetPassword(value);
        break;
    case Option::None:
        break;
    }
}
