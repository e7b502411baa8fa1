#include "app/QXLServerClient.h"

#include <optional>
#include <string_view>

#include "platform/LanguageTexts.h"
#include "platform/Text.h"

namespace {

constexpr int kPasswordExpired = -1207;
constexpr unsigned kTextUnknownError = 6;
constexpr unsigned kTextCredentialNotSendable = 57;

// Characters of a server's text that a message box or the log shows; a longer text is cut
// with "...".
constexpr std::size_t kShownTextLength = 1000;

// The number after "Code=" up to its line feed: an optional sign and digits; 0 when there is
// no such line, no number, or a number out of an int's range (rather than its wrapped value).
int RefusalCode(const std::wstring& body) {
    const std::size_t start = body.find(L"Code=");
    if (start == std::wstring::npos)
        return 0;
    const std::size_t from = start + 5;
    const std::size_t end = body.find(L'\n', from);
    if (end == std::wstring::npos)
        return 0;
    std::size_t i = from;
    const bool negative = i < end && body[i] == L'-';
    if (i < end && (body[i] == L'-' || body[i] == L'+'))
        ++i;
    const long long limit = negative ? 0x80000000LL : 0x7FFFFFFFLL;
    long long value = 0;
    for (; i < end && body[i] >= L'0' && body[i] <= L'9'; ++i) {
        value = value * 10 + (body[i] - L'0');
        if (value > limit)
            return 0;
    }
    return static_cast<int>(negative ? -value : value);
}

// text, cut to kShownTextLength characters followed by "..." when it is longer.
std::wstring ShownText(std::wstring text) {
    if (text.size() > kShownTextLength) {
        text.resize(kShownTextLength);
        text += L"...";
    }
    return text;
}

} // namespace

CQXLServerClient::CQXLServerClient(CQXLLog& log, QXLanguageBase languageBase,
                                   CQXUrlParser& configuration, CQXLApplication& application,
                                   CQXLBatchGenerator& instructions)
    : m_log(log), m_languageBase(languageBase), m_urlParser(configuration),
      m_application(application), m_batchGenerator(instructions), m_downloader(log, languageBase) {
    m_downloader.SetConfiguration(&m_urlParser);
}

void CQXLServerClient::SetUserInterface(IQXLUserInterface* userInterface) {
    m_userInterface = userInterface;
    m_downloader.SetPrompt(userInterface == nullptr ? nullptr : userInterface->GetHttpPrompt());
}

bool CQXLServerClient::CredentialsFitTheWire(std::initializer_list<std::wstring_view> values) {
    const unsigned codePage = qxplat::WireCodePage();
    for (std::wstring_view value : values) {
        if (value.find(L'&') != std::wstring_view::npos) {
            // Values travel raw: the server would read the rest as another field.
            m_log.LogError(L"Credentials refused : the login, password, pin or passcode holds "
                           L"\"&\", which would split it in the form, nothing sent");
        } else if (!qxplat::FitsCodePage(value, codePage)) {
            // The plain conversion would send '?' or a look-alike in its place: a different
            // secret than typed.
            m_log.LogError(L"Credentials refused : a character of the login, password, pin or "
                           L"passcode has no exact place in code page %d, nothing sent",
                           static_cast<int>(codePage));
        } else {
            continue;
        }
        if (m_userInterface != nullptr) {
            m_userInterface->ShowMessageBox(QXLoadText(m_languageBase, kTextCredentialNotSendable),
                                            QXLoadText(m_languageBase, kQXTextCaption),
                                            kQXMbIconExclamation | kQXMbSystemModal,
                                            QXLBoxOwner::None);
        }
        return false;
    }
    return true;
}

SQXLLoginOutcome CQXLServerClient::LoginStep(const std::wstring& user, const std::wstring& password,
                                             const std::optional<std::wstring>& previousPasscode) {
    if (!CredentialsFitTheWire({user, password, previousPasscode.value_or(std::wstring())}))
        return SQXLLoginOutcome::NotSent();
    SetSessionUserName(user);
    m_downloader.SetConfiguration(&m_urlParser);
    if (m_downloader.Login(user, password, previousPasscode))
        return SQXLLoginOutcome::LoggedIn();
    return SQXLLoginOutcome::FromRefusal(ShowServerError(m_downloader.GetResponseBody()));
}

SQXLLoginOutcome CQXLServerClient::ChangePasswordStep(const std::wstring& user,
                                                      const std::wstring& oldPassword,
                                                      const std::wstring& newPassword) {
    if (!CredentialsFitTheWire({user, oldPassword, newPassword}))
        return SQXLLoginOutcome::NotSent();
    const std::wstring previousSession = m_downloader.GetSessionId();
    m_downloader.SetConfiguration(&m_urlParser);
    if (m_downloader.ChangePassword(user, oldPassword, newPassword) &&
        m_downloader.GetSessionId() != previousSession)
        return SQXLLoginOutcome::LoggedIn();
    return SQXLLoginOutcome::FromRefusal(ShowServerError(m_downloader.GetResponseBody()));
}

std::optional<int> CQXLServerClient::ShowServerError(const std::wstring& body) {
    const int code = RefusalCode(body);
    const std::wstring caption = QXLoadText(m_languageBase, kQXTextCaption);
    const unsigned flags = kQXMbIconHand | kQXMbSystemModal;
    if (code == 0) {
        if (m_userInterface != nullptr) {
            m_userInterface->ShowMessageBox(QXLoadText(m_languageBase, kTextUnknownError) + L" (2)",
                                            caption, flags, QXLBoxOwner::None);
        }
        if (body.empty())
            m_log.LogError(L"Unknown error : empty response body");
        else if (body.size() <= kShownTextLength)
            m_log.LogError(L"Unknown error : %s", body);
        else
            m_log.LogError(L"Unknown error : %s... (%u characters)",
                           std::wstring_view(body).substr(0, kShownTextLength), body.size());
        return std::nullopt;
    }
    if (code == kPasswordExpired)
        return code;
    const std::size_t start = body.find(L"Description=");
    const std::size_t end = start == std::wstring::npos ? start : body.find(L'\n', start);
    if (end == std::wstring::npos || m_userInterface == nullptr)
        return code;
    std::wstring description = body.substr(start + 12, end - start - 12);
    // A Japanese server writes its descriptions in code page 932, whatever the wire's.
    if (m_languageBase == kQXJapaneseBase)
        description =
            qxplat::FromCodePage(qxplat::ToCodePage(description, qxplat::WireCodePage()), 932);
    m_userInterface->ShowMessageBox(ShownText(std::move(description)) + L" (1)", caption, flags,
                                    QXLBoxOwner::None);
    return code;
}
