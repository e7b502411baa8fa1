#include "protocol/QXLSendLoop.h"

bool QXLSendWithDialogs(qxplat::HttpRequest& request, std::string_view body, bool ignoreUnknownCa,
                        qxplat::HttpPrompt* prompt, unsigned long& lastError,
                        const SQXLSendHooks& hooks) {
    for (;;) {
        if (ignoreUnknownCa)
            request.IgnoreUnknownCa();
        const bool sent = request.Send(body, lastError);
        if (!sent && hooks.sendFailed)
            hooks.sendFailed(lastError);
        switch (request.DialogStep(prompt, lastError)) {
        case qxplat::HttpDialogAnswer::Retry:
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
