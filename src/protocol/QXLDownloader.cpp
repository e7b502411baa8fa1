#include "protocol/QXLDownloader.h"

#include <chrono>
#include <cwctype>

#include "base/QXText.h"
#include "platform/Text.h"
#include "protocol/QXLSendLoop.h"

namespace {

const wchar_t kAgent[] = L"QXLauncher";
const wchar_t kVerb[] = L"POST";
const wchar_t kSourceFile[] = L".\\QXLDownloader";
constexpr unsigned long kTimeoutMs = 30000;
constexpr std::size_t kBodyPiece = 1024;
// Service replies are tables and texts; their reading takes many times their size, so a
// larger one is refused before it exhausts memory. Downloads stream to disk, unbounded.
constexpr std::size_t kMaxResponseBody = 16 * 1024 * 1024;
const wchar_t kBodyFrame[] = L"**************************************\n";

// The error line of each failing step, with the number that names its place.
struct StepLine {
    const wchar_t* format;
    int number;
};

StepLine LineFor(qxplat::HttpStep step) {
    switch (step) {
    case qxplat::HttpStep::OpenSession:
    case qxplat::HttpStep::WatchBytes:
        return {L" ... Failed InternetOpen %s[%s] \"http%s://%s:%i%s\" with last error %i on "
                L"file %s, line %i",
                605};
    case qxplat::HttpStep::Connect:
        return {L" ... Failed InternetConnect %s[%s] \"http%s://%s:%i%s\" with last error %i on "
                L"file %s, line %i",
                635};
    case qxplat::HttpStep::OpenRequest:
        return {L" ... Failed HttpOpenRequest %s[%s] \"http%s://%s:%i%s\" with last error %i on "
                L"file %s, line %i",
                668};
    case qxplat::HttpStep::ReadProxyUserName:
        return {L" ... Failed to retrieve INTERNET_OPTION_PROXY_USERNAME on %s[%s] "
                L"\"http%s://%s:%i%s\" with last error %i on file %s, line %i",
                761};
    case qxplat::HttpStep::ReadProxyPassword:
        return {L" ... Failed to retrieve INTERNET_OPTION_PROXY_PASSWORD on %s[%s] "
                L"\"http%s://%s:%i%s\" with last error %i on file %s, line %i",
                780};
    default:
        return {L" ... Failed HttpSendRequest %s[%s] \"http%s://%s:%i%s\" with last error %i on "
                L"file %s, line %i",
                719};
    }
}

// The leading decimal number of text, 0 without one.
long long LeadingNumber(const std::wstring& text) {
    long long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            break;
        value = value * 10 + (c - L'0');
    }
    return value;
}

const char kSessionCookieName[] = "SessionId";

bool StartsWithSessionId(std::wstring_view piece) {
    static constexpr std::wstring_view kName = L"SessionId=";
    if (piece.size() < kName.size())
        return false;
    for (std::size_t i = 0; i < kName.size(); ++i) {
        if (std::towlower(piece[i]) != std::towlower(kName[i]))
            return false;
    }
    return true;
}

} // namespace

// What one attempt on one server sends, for its error lines.
struct CQXLDownloader::Attempt {
    const CQXUrlServer& server;
    std::wstring object;
    const CQXLFormBody& body;
    std::string bytes;
};

CQXLDownloader::CQXLDownloader(CQXLLog& log, QXLanguageBase languageBase,
                               qxplat::HttpTransport& transport)
    : m_log(log), m_languageBase(languageBase), m_transport(transport), m_keepAlive(transport) {}

// --- Requests and services --------------------------------------------------------------------

bool CQXLDownloader::Request(const std::wstring& service, const CQXLFormBody& body) {
    if (m_configuration == nullptr)
        return false;
    // A body left by an earlier request must not pass for the answer to this one.
    m_responseBody.clear();
    if (!IsWhole(service, body))
        return false;
    CQXUrlServerList& servers = m_configuration->GetServerList();
    for (QXUrlServerPtr server = servers.GetCurrentServer(); server;
         server = servers.NextServer()) {
        if (TryServer(*server, service, body)) {
            servers.ResetFailover();
            return true;
        }
        m_log.LogError(L"Query error : %d for server %s", static_cast<int>(m_lastError),
                       server->GetUrl());
        m_log.LogWarning(L"%s", m_failure.Line(*server, server->GetPath() + service));
    }
    return false;
}

bool CQXLDownloader::TryServer(const CQXUrlServer& server, const std::wstring& service,
                               const CQXLFormBody& body) {
    Attempt attempt{server, server.GetPath() + service, body,
                    qxplat::ToCodePage(body.Text(), WireCodePage())};
    m_failure.Clear();
    qxplat::HttpError error;
    std::unique_ptr<qxplat::HttpSession> session = m_transport.Open(kAgent, error);
    if (!session)
        return FailStep(attempt, error);
    const bool secure = server.IsSecure() != 0;
    std::unique_ptr<qxplat::HttpConnection> connection = session->Connect(
        server.GetHost(), static_cast<unsigned short>(server.GetPort()), secure, error);
    if (!connection)
        return FailStep(attempt, error);
    const bool lenient = m_configuration->GetRequestCertificateFlags() != 0;
    std::unique_ptr<qxplat::HttpRequest> request =
        connection->OpenRequest(kVerb, attempt.object, secure, secure && lenient, error);
    if (!request)
        return FailStep(attempt, error);
    request->SetTimeouts(kTimeoutMs, kTimeoutMs);
    request->TrustAuthorities(m_configuration->SecurityCAFile());
    request->SetMinimumRate(qxplat::kHttpMinimumBytesPerSecond, m_minimumRateWindowMs);
    GiveProxyCredentials(*request);
    return SendUntilAnswered(attempt, *request) && CheckStatusCode(*request) &&
           ReadResponseBody(*request) && CheckSignature(*request, server);
}

bool CQXLDownloader::IsWhole(const std::wstring& service, const CQXLFormBody& body) {
    if (body.SplitField().empty())
        return true;
    m_log.LogError(L"Request %s refused : the value of \"%s\" holds \"&\", which would split "
                   L"it in the form, nothing sent",
                   service, body.SplitField());
    return false;
}

bool CQXLDownloader::SignedRequest(const std::wstring& service, const CQXLFormBody& body,
                                   const std::wstring& application, const std::wstring& version) {
    if (m_configuration != nullptr && m_configuration->VerifiesSignatures())
        // The server signs the names as it read them: decoded from the wire, in UTF-8.
        m_signedRequest = SQXLSignedRequest{QXToUtf8(service), QXToUtf8(application),
                                            QXToUtf8(version), QXToUtf8(m_userName)};
    const bool answered = Request(service, body);
    m_signedRequest.reset();
    m_responseBytes.clear();
    return answered;
}

bool CQXLDownloader::CheckSignature(qxplat::HttpRequest& request, const CQXUrlServer& server) {
    if (!m_signedRequest)
        return true;
    std::string header;
    const bool present = request.ResponseHeader(kQXLSignatureHeader, header);
    const long long now = std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    const QXLSignatureVerdict verdict =
        QXLCheckReplySignature(m_configuration->UpdatePublicKeys(), present ? &header : nullptr,
                               *m_signedRequest, m_responseBytes, now);
    if (verdict == QXLSignatureVerdict::Valid)
        return true;
    m_log.LogError(L"Signed reply refused : %s from %s : %s", QXFromUtf8(m_signedRequest->service),
                   server.GetUrl(), QXLSignatureVerdictText(verdict));
    m_failure.Refused(std::wstring(L"its signature : ") + QXLSignatureVerdictText(verdict));
    m_signatureRefused = true;
    m_responseBody.clear();
    return false;
}

// Sends through the dialog loop: proxy credentials given by the user are read back, kept for
// every later request and sent again; an accepted certificate problem sends again.
bool CQXLDownloader::SendUntilAnswered(Attempt& attempt, qxplat::HttpRequest& request) {
    SQXLSendHooks hooks;
    hooks.sendFailed = [&](unsigned long code) {
        LogStepError(attempt, {qxplat::HttpStep::Send, code});
        m_failure.Transport(code, request.FailureDetail());
    };
    hooks.retryAsked = [&] {
        KeepRetryCredentials(request, attempt.server, attempt.body, attempt.object, 743,
                             [&](const qxplat::HttpError& error) { LogStepError(attempt, error); });
    };
    return QXLSendWithDialogs(request, attempt.bytes,
                              m_configuration->GetSecurityCertificateFlags() != 0, SharedPrompt(),
                              m_lastError, hooks);
}

void CQXLDownloader::GiveProxyCredentials(qxplat::HttpRequest& request) {
    std::lock_guard<std::mutex> turn(m_sharedLock);
    if (!m_proxyUserName.empty())
        request.SetProxyUserName(m_proxyUserName);
    if (!m_proxyPassword.empty())
        request.SetProxyPassword(m_proxyPassword);
}

bool CQXLDownloader::SharedPromptTurns::AskProxyCredentials(std::wstring& userName,
                                                            std::wstring& password) {
    CQXLDownloader& d = m_downloader;
    std::lock_guard<std::mutex> turn(d.m_sharedLock);
    if (userName != d.m_proxyUserName || password != d.m_proxyPassword) {
        userName = d.m_proxyUserName;
        password = d.m_proxyPassword;
        return true;
    }
    if (!d.m_prompt->AskProxyCredentials(userName, password))
        return false;
    d.m_proxyUserName = userName;
    d.m_proxyPassword = password;
    return true;
}

bool CQXLDownloader::SharedPromptTurns::AcceptCertificate(
    unsigned long error, const qxplat::HttpCertificate& certificate) {
    std::lock_guard<std::mutex> turn(m_downloader.m_sharedLock);
    return m_downloader.m_prompt->AcceptCertificate(error, certificate);
}

void CQXLDownloader::KeepRetryCredentials(
    qxplat::HttpRequest& request, const CQXUrlServer& server, const CQXLFormBody& body,
    const std::wstring& object, int line,
    const std::function<void(const qxplat::HttpError&)>& failed) {
    m_log.LogDebug(L" ... WinINet asked for RETRY on %s[%s] \"http%s://%s:%i%s\" on file %s, "
                   L"line %i",
                   kVerb, body.LogText(), server.IsSecure() ? L"s" : L"", server.GetHost(),
                   server.GetPort(), object, kSourceFile, line);
    qxplat::HttpError error;
    std::lock_guard<std::mutex> turn(m_sharedLock);
    if (!request.ReadProxyUserName(m_proxyUserName, error))
        failed(error);
    if (!request.ReadProxyPassword(m_proxyPassword, error))
        failed(error);
}

bool CQXLDownloader::FailStep(const Attempt& attempt, const qxplat::HttpError& error) {
    m_lastError = error.code;
    LogStepError(attempt, error);
    return false;
}

void CQXLDownloader::LogStepError(const Attempt& attempt, const qxplat::HttpError& error) {
    m_failure.Transport(error.code, std::wstring());
    const StepLine line = LineFor(error.step);
    const CQXUrlServer& server = attempt.server;
    m_log.LogError(line.format, kVerb, attempt.body.LogText(), server.IsSecure() ? L"s" : L"",
                   server.GetHost(), server.GetPort(), attempt.object, static_cast<int>(error.code),
                   kSourceFile, line.number);
}

bool CQXLDownloader::CheckStatusCode(qxplat::HttpRequest& request) {
    std::wstring status;
    qxplat::HttpError error;
    if (!request.StatusText(status, error)) {
        m_log.LogError(L"Impossible to retrieve status code");
        m_failure.Transport(error.code, std::wstring());
        m_log.LogDebug(L"Status code error : %s", status);
        return false;
    }
    if (LeadingNumber(status) != 200) {
        m_log.LogError(L"Status code error : %s", status);
        m_log.LogDebug(L"Status code error : %s", status);
        m_failure.Status(static_cast<long>(LeadingNumber(status)));
        return false;
    }
    m_log.LogDebug(L"Status code error : %s", status);
    return true;
}

bool CQXLDownloader::CheckStatusCode(qxplat::HttpRequest& request, CQXLFailureNote& failure) {
    std::lock_guard<std::mutex> turn(m_sharedLock);
    if (CheckStatusCode(request))
        return true;
    failure = m_failure;
    return false;
}

bool CQXLDownloader::ReadResponseBody(qxplat::HttpRequest& request) {
    m_responseBody.clear();
    // The bytes are kept and converted once at the end, so that a character whose bytes
    // arrive in two pieces survives.
    std::string bytes;
    char piece[kBodyPiece];
    bool read = true;
    for (;;) {
        std::size_t received = 0;
        qxplat::HttpError error;
        read = request.Read(piece, sizeof piece, received, error);
        if (!read) {
            m_log.LogError(L"Error while retrieving response body : %d",
                           static_cast<int>(error.code));
            m_failure.Transport(error.code, request.FailureDetail());
        }
        if (!read || received == 0)
            break;
        bytes.append(piece, received);
        if (bytes.size() > kMaxResponseBody) {
            m_log.LogError(L"Error while retrieving response body : larger than %d bytes",
                           static_cast<long long>(kMaxResponseBody));
            bytes.clear(); // nobody reads a refused reply: spare converting it
            m_failure.Refused(L"it is larger than the launcher reads");
            read = false;
            break;
        }
    }
    m_responseBody = qxplat::FromCodePage(bytes, WireCodePage());
    // A signature covers the bytes as sent, not their text.
    if (m_signedRequest)
        m_responseBytes = std::move(bytes);
    if (m_log.IsDebugEnabled()) {
        m_log.LogDebug(L"%s", std::wstring(L"Response Body :\n") + kBodyFrame + m_responseBody +
                                  L"\n" + kBodyFrame);
    }
    return read;
}

bool CQXLDownloader::ExtractSessionId() {
    m_sessionId.clear();
    const QXUrlServerPtr server =
        m_configuration == nullptr ? nullptr : m_configuration->GetServerList().GetCurrentServer();
    std::string cookies;
    qxplat::HttpError error;
    if (!server || !m_transport.CookiesForUrl(server->GetUrl(), cookies, error)) {
        if (error.step == qxplat::HttpStep::ReadCookie)
            m_log.LogError(L"Session Id not found : %d", static_cast<int>(error.code));
        else
            m_log.LogError(L"Session Id not found : no cookie for URL : %d",
                           static_cast<int>(error.code));
        return false;
    }
    const std::wstring text = qxplat::FromCodePage(cookies, WireCodePage());
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L';', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring_view piece(text.data() + start, end - start);
        while (!piece.empty() && piece.front() == L' ')
            piece.remove_prefix(1);
        if (StartsWithSessionId(piece)) {
            const std::wstring_view id = piece.substr(piece.find(L'=') + 1);
            // The id goes on command lines: one that would break them is no session.
            if (!QXIsSafeSessionId(id)) {
                m_log.LogError(L"Session Id refused : it holds characters other than letters, "
                               L"digits and -._~+/=");
                return false;
            }
            m_sessionId.assign(id);
            if (m_log.IsDebugEnabled())
                m_log.LogDebug(L"Session Id found : %s", m_sessionId);
            else
                m_log.LogProduction(L"Session Id found.");
            return true;
        }
        start = end + 1;
    }
    m_log.LogError(L"Session Id not found");
    return false;
}

// A refusal sets no cookie: without this, the session of an earlier login would pass for the
// new one.
void CQXLDownloader::ForgetSessionCookies() {
    if (m_configuration == nullptr)
        return;
    for (const QXUrlServerPtr& server : m_configuration->GetServerList().GetServers())
        m_transport.ForgetCookie(server->GetUrl(), kSessionCookieName);
}

CQXLFormBody CQXLDownloader::SessionBody() const {
    CQXLFormBody body;
    body.Add(L"sessionid", m_sessionId);
    return body;
}

bool CQXLDownloader::Login(const std::wstring& user, const std::wstring& password,
                           const std::optional<std::wstring>& previousPasscode) {
    CQXLFormBody body;
    body.Add(L"password", password).Add(L"user", user).Add(L"lang", LanguageCode());
    if (previousPasscode)
        body.Add(L"oldPasscode", *previousPasscode);
    const bool sso = m_configuration != nullptr && m_configuration->SSO();
    ForgetSessionCookies();
    return Request(sso ? L"P3SSO" : L"P3Login", body) && ExtractSessionId();
}

bool CQXLDownloader::ChangePassword(const std::wstring& user, const std::wstring& oldPassword,
                                    const std::wstring& newPassword) {
    CQXLFormBody body;
    body.Add(L"password", newPassword)
        .Add(L"confirmpassword", newPassword)
        .Add(L"oldpassword", oldPassword)
        .Add(L"user", user)
        .Add(L"out", L"qx")
        .Add(L"lang", LanguageCode());
    ForgetSessionCookies();
    return Request(L"ChangePassword", body) && ExtractSessionId();
}

bool CQXLDownloader::GetAppInf() {
    m_applicationName =
        m_configuration == nullptr ? std::wstring() : m_configuration->ApplicationName();
    CQXLFormBody body = SessionBody();
    if (!m_applicationName.empty())
        body.Add(L"application", m_applicationName).Add(L"lang", LanguageCode());
    return SignedRequest(L"GetAppInf", body, m_applicationName, std::wstring());
}

bool CQXLDownloader::GetAppVersionList() {
    CQXLFormBody body = SessionBody();
    body.Add(L"applicationname", m_applicationName).Add(L"lang", LanguageCode());
    return SignedRequest(L"GetAppVersionList", body, m_applicationName, std::wstring());
}

bool CQXLDownloader::GetAppPrimary() {
    CQXLFormBody body = SessionBody();
    body.Add(L"applicationname", m_applicationName)
        .Add(L"versionname", m_versionName)
        .Add(L"lang", LanguageCode());
    return SignedRequest(L"GetAppPrimary", body, m_applicationName, m_versionName);
}

bool CQXLDownloader::GetAppChecksum() {
    CQXLFormBody body = SessionBody();
    body.Add(L"application", m_applicationName)
        .Add(L"version", m_versionName)
        .Add(L"lang", LanguageCode());
    return SignedRequest(L"GetAppChecksum", body, m_applicationName, m_versionName);
}

bool CQXLDownloader::AppUpdateDone() {
    CQXLFormBody body = SessionBody();
    body.Add(L"lang", LanguageCode());
    return Request(L"AppUpdateDone", body);
}

bool CQXLDownloader::Logout() {
    CQXLFormBody body = SessionBody();
    body.Add(L"lang", LanguageCode());
    return Request(L"Logout", body);
}
