#include "protocol/QXLSendLoop.h"

#include <optional>

namespace {

// Rounds of proxy credentials a send may go through: a proxy that refuses every answer would
// otherwise be asked, and answered, without end.
constexpr int kProxyRounds = 3;

// Hands the questions on to the user's prompt, but lets the proxy's refusal stand once the
// user has answered it kProxyRounds times.
class CBoundedPrompt : public qxplat::HttpPrompt {
public:
    explicit CBoundedPrompt(qxplat::HttpPrompt& prompt) : m_prompt(prompt) {}

    bool AskProxyCredentials(std::wstring& userName, std::wstring& password) override {
        if (m_asked >= kProxyRounds)
            return false;
        ++m_asked;
        return m_prompt.AskProxyCredentials(userName, password);
    }

    bool AcceptCertificate(unsigned long error,
                           const qxplat::HttpCertificate& certificate) override {
        return m_prompt.AcceptCertificate(error, certificate);
    }

private:
    qxplat::HttpPrompt& m_prompt;
    int m_asked = 0;
};

} // namespace

bool QXLSendWithDialogs(qxplat::HttpRequest& request, std::string_view body, bool ignoreUnknownCa,
                        qxplat::HttpPrompt* prompt, unsigned long& lastError,
                        const SQXLSendHooks& hooks) {
    std::optional<CBoundedPrompt> bounded;
    if (prompt != nullptr)
        bounded.emplace(*prompt);
    qxplat::HttpPrompt* asked = bounded ? &*bounded : nullptr;
    // The system's own dialog is bounded here, as it cannot be wrapped.
    int retries = 0;
    for (;;) {
        if (ignoreUnknownCa)
            request.IgnoreUnknownCa();
        const bool sent = request.Send(body, lastError);
        if (!sent && hooks.sendFailed)
            hooks.sendFailed(lastError);
        switch (request.DialogStep(asked, lastError)) {
        case qxplat::HttpDialogAnswer::Retry:
            if (++retries > kProxyRounds)
                return sent;
            if (hooks.retryAsked)
                hooks.retryAsked();
            break;
        case qxplat::HttpDialogAnswer::Resend:
            break;
        case qxplat::HttpDialogAnswer::Done:
            return sent;
        }
    }
}
