#pragma once

#include <string>

#include "QXReply.h"

// The server's refusal codes, sent on the "Code=" line. The launcher knows -1207, -205 and
// -202; the others only select a description.
enum class EQXRefusal {
    BadCredentials = -1,
    SsoNotAllowed = -2,
    PasswordRefused = -3,
    NoSession = -10,
    UnknownApplication = -11,
    UnknownFile = -12,
    MissingParameter = -13,
    NotOffered = -14,
    UnknownService = -15,
    DirectoryUnavailable = -16,
    SsoNotVouched = -17,
    DirectoryPassword = -18,
    PasswordExpired = -1207,
    NewPinRequired = -205,
    NextPasscodeRequired = -202,
};

// Builds refusal replies: plain text "Code=<n>\nDescription=<text>\n", the description in
// English, French or Japanese by the request's "lang".
class CQXRefusal {
public:
    // The reply in UTF-8, marked with its language, which picks its code page on the wire
    // (QXReplyToWire).
    static SQXReply Make(int status, EQXRefusal code, const std::string& lang);
    // The description alone, as UTF-8.
    static std::string Description(EQXRefusal code, const std::string& lang);
};
