#include "app/QXLDoctor.h"

#include <algorithm>
#include <cwchar>

#include "app/QXLApplication.h"
#include "app/QXLServerClient.h"
#include "app/QXLSettingsCheck.h"
#include "base/QXCommandLine.h"
#include "base/QXFormat.h"
#include "base/QXText.h"
#include "platform/Authorities.h"
#include "platform/Files.h"
#include "platform/HttpTransport.h"
#include "platform/RunOnce.h"
#include "platform/System.h"
#include "protocol/QXLFailureNote.h"
#include "protocol/QXLSendLoop.h"
#include "ui/QXLScriptedUserInterface.h"

namespace {

constexpr unsigned long kTimeoutMs = 15000;
// A folder that does not exist: the log of the run's own requests goes nowhere.
constexpr wchar_t kNoLogFolder[] = L"QXLauncher-check-writes-no-log";

std::wstring Beside(const std::wstring& folder, const std::wstring& name) {
    std::wstring path = folder;
    if (!path.empty() && path.back() != qxplat::kPathSeparator)
        path += qxplat::kPathSeparator;
    return path + name;
}

std::wstring ValueAfter(const std::vector<std::wstring>& arguments, const wchar_t* option) {
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i)
        if (QXEqualsNoCase(arguments[i], option))
            return arguments[i + 1];
    return {};
}

// The check asks nobody: a certificate or proxy question is answered no.
class CRefusingPrompt : public qxplat::HttpPrompt {
public:
    bool AskProxyCredentials(std::wstring&, std::wstring&) override { return false; }
    bool AcceptCertificate(unsigned long, const qxplat::HttpCertificate&) override { return false; }
};

} // namespace

bool QXLIsCheckRequested(const std::vector<std::wstring>& arguments) {
    for (const std::wstring& argument : arguments)
        if (QXEqualsNoCase(argument, L"-check"))
            return true;
    return false;
}

int QXLRunCheck(const std::vector<std::wstring>& arguments, const CQXLDoctor::Output& output) {
    const std::wstring program = qxplat::ModulePath();
    const std::size_t cut = program.find_last_of(qxplat::kPathSeparator);
    return CQXLDoctor(output).Run(
        cut == std::wstring::npos ? std::wstring(L".") : program.substr(0, cut), arguments);
}

void CQXLDoctor::Problem(const std::wstring& text) {
    ++m_problems;
    m_output(L"PROBLEM  " + text);
}

int CQXLDoctor::Run(const std::wstring& folder, const std::vector<std::wstring>& arguments) {
    m_output(L"QXLauncher -check in " + folder);
    CQXLLog log(Beside(folder, kNoLogFolder));
    CQXUrlParser parser;
    CQXLApplication application(log, parser);
    CQXLBatchGenerator instructions(log);
    CQXLServerClient client(log, kQXEnglishBase, parser, application, instructions);
    CQXLScriptedUserInterface userInterface;
    client.SetUserInterface(&userInterface);
    application.SetInstallationDirectory(folder);
    if (CheckSettings(folder, parser)) {
        CheckInstaller(folder);
        std::vector<QXUrlServerPtr> servers = parser.GetServerList().GetServers();
        for (const QXUrlServerPtr& server : parser.GetDownloadServerList().GetServers())
            if (std::find(servers.begin(), servers.end(), server) == servers.end())
                servers.push_back(server);
        for (const QXUrlServerPtr& server : servers)
            CheckServer(*server, parser);
        const std::wstring user = ValueAfter(arguments, kQXOptionServerLogin);
        if (user.empty())
            Note(L"no login tried: give -serverLogin NAME -serverPassword PASSWORD to check it "
                 L"and the update's plan");
        else
            CheckLoginAndPlan(client, application, user,
                              ValueAfter(arguments, kQXOptionServerPassword));
    }
    m_output(m_problems == 0 ? std::wstring(L"All is well.")
                             : QXFormat(L"%d problem(s) found.", m_problems));
    return m_problems == 0 ? 0 : 1;
}

bool CQXLDoctor::CheckSettings(const std::wstring& folder, CQXUrlParser& parser) {
    const std::wstring file = Beside(folder, L"qxurl.net");
    std::string bytes;
    if (!qxplat::ReadWholeFile(file, bytes)) {
        Problem(file + L" cannot be read: without it the launcher ends at once (exit code 1)");
        return false;
    }
    for (const std::wstring& finding : CQXLSettingsCheck::Check(bytes, L"qxurl.net"))
        Problem(finding);
    for (const std::wstring& url : parser.RefusedUrls())
        Problem(L"qxurl.net: " + url + L" names a port above 65535: it is left out");
    if (parser.GetServerList().GetCount() == 0) {
        Problem(L"qxurl.net: no URL in [Config]: the launcher ends at once (exit code 1)");
        return false;
    }
    if (parser.VerifiesSignatures())
        Good(QXFormat(L"replies must be signed by one of %d public key(s)",
                      static_cast<int>(parser.UpdatePublicKeys().size())));
    else
        Note(L"no UpdatePublicKey: replies and files are not verified");
    const std::wstring& authorities = parser.SecurityCAFile();
    std::size_t count = 0;
    std::wstring problem;
    if (authorities.empty())
        return true;
    if (qxplat::ReadAuthorityFile(authorities, count, problem))
        Good(QXFormat(L"SecurityCAFile %s: %d certificate(s) trusted besides the system's",
                      authorities, static_cast<int>(count)));
    else
        Problem(L"SecurityCAFile: " + problem + L": only the system's authorities are trusted");
    return true;
}

void CQXLDoctor::CheckInstaller(const std::wstring& folder) {
    const std::wstring installer = Beside(folder, qxplat::ProgramFileName(L"QXInstaller"));
    if (qxplat::OpenShared(installer, "rb"))
        Good(installer + L" is there");
    else
        Problem(installer + L" is missing: no update can ever be installed");
}

// A POST of the harmless Logout service with no session: any answer but 404 shows that the
// base path leads to the services.
void CQXLDoctor::CheckServer(const CQXUrlServer& server, const CQXUrlParser& parser) {
    const std::wstring object = server.GetPath() + L"Logout";
    CQXLFailureNote failure;
    qxplat::HttpError error;
    const bool secure = server.IsSecure() != 0;
    auto session = m_transport.Open(L"QXLauncher", error);
    auto connection =
        session ? session->Connect(server.GetHost(), static_cast<unsigned short>(server.GetPort()),
                                   secure, error)
                : nullptr;
    auto request = connection
                       ? connection->OpenRequest(L"POST", object, secure,
                                                 parser.GetRequestCertificateFlags() != 0, error)
                       : nullptr;
    if (!request) {
        failure.Transport(error.code, std::wstring());
        return Problem(failure.Line(server, object));
    }
    request->SetTimeouts(kTimeoutMs, kTimeoutMs);
    request->TrustAuthorities(parser.SecurityCAFile());
    CRefusingPrompt refusing;
    unsigned long lastError = 0;
    const bool sent =
        QXLSendWithDialogs(*request, std::string_view(), parser.GetSecurityCertificateFlags() != 0,
                           &refusing, lastError);
    qxplat::HttpCertificate certificate;
    // Linux tells a refused certificate too; WinINet only one that passed.
    if (secure && request->ServerCertificate(certificate)) {
        const std::wstring text =
            QXFormat(L"%s: certificate of %s, issued by %s, valid %s to %s, SHA-256 %s",
                     server.GetUrl(), certificate.subject, certificate.issuer,
                     certificate.notBefore, certificate.notAfter, certificate.sha256);
        if (sent)
            Good(text);
        else
            Note(text);
    }
    if (!sent) {
        failure.Transport(lastError, request->FailureDetail());
        return Problem(failure.Line(server, object));
    }
    std::wstring status;
    request->StatusText(status, error);
    // WinINet takes an answer without a status line as status 0: such a server is no HTTP one.
    const long code = std::wcstol(status.c_str(), nullptr, 10);
    if (code == 404 || code < 100) {
        failure.Status(code);
        return Problem(failure.Line(server, object));
    }
    Good(server.GetUrl() + L" answers (status " + status + L")");
}

void CQXLDoctor::CheckLoginAndPlan(CQXLServerClient& server, CQXLApplication& application,
                                   const std::wstring& user, const std::wstring& password) {
    const SQXLLoginOutcome login = server.LoginStep(user, password, std::nullopt);
    if (!login.IsLoggedIn())
        return Problem(QXFormat(L"login of %s refused or failed (code %d)", user, login.LogCode()));
    Good(L"logged in as " + user);
    if (!server.GetApplicationInfo())
        return Problem(L"GetAppInf failed: the application is started without an update");
    TellPlan(server, application);
    server.Logout();
}

// The primary is read here without the server client's keeping of it: the check writes nothing.
void CQXLDoctor::TellPlan(CQXLServerClient& server, CQXLApplication& application) {
    CQXLDownloader& client = server.GetDownloader();
    client.SetVersionName(application.Info().Version);
    if (!client.GetAppPrimary())
        return Problem(L"GetAppPrimary failed: the default application would be started");
    server.ReadPrimaryApplication(client.GetResponseBody());
    if (!server.GetFileList())
        return Problem(L"GetAppChecksum failed: nothing would be updated");
    const std::wstring& primary = application.Primary().PrimaryName;
    bool listed = primary.empty() || primary == L"--" ||
                  qxplat::OpenShared(application.InstallationDirectory() + primary, "rb");
    std::size_t fetch = 0;
    long long bytes = 0;
    for (const auto& file : application.Files().UpdateList()) {
        if (file->FileMode() != ModeDelete && file->FileMode() != ModeUpdateUnchanged) {
            ++fetch;
            bytes += file->FileSize();
            listed = listed || QXEqualsNoCase(file->FilePath() + file->FileName(), primary);
        }
    }
    Good(QXFormat(L"version %s: %d file(s) to fetch (%d bytes), %d to delete; nothing installed",
                  application.Info().Version, static_cast<int>(fetch), bytes,
                  application.Files().DeleteCount()));
    if (!listed)
        Problem(L"the primary application (PrimaryName) " + primary +
                L" is neither installed nor among the release's files: nothing would start");
}
