#pragma once

#include <functional>
#include <string_view>

#include "platform/HttpTransport.h"

// What a caller of QXLSendWithDialogs hears about along the way.
struct SQXLSendHooks {
    // After each send that failed, with the send's error code.
    std::function<void(unsigned long lastError)> sendFailed;
    // After the dialog step asked for a retry with new proxy credentials, before the resend.
    std::function<void()> retryAsked;
};

// Sends body on request, then runs the dialog step after every send, successful or not, and
// sends again for as long as it asks to: a retry after the user gave proxy credentials, a
// resend after a certificate problem was accepted. ignoreUnknownCa lets every send pass a
// certificate from an unknown authority. After three rounds of proxy credentials a further
// refusal stands. Returns whether the last send succeeded; lastError holds its error code.
bool QXLSendWithDialogs(qxplat::HttpRequest& request, std::string_view body, bool ignoreUnknownCa,
                        qxplat::HttpPrompt* prompt, unsigned long& lastError,
                        const SQXLSendHooks& hooks = SQXLSendHooks());
