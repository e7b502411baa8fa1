#pragma once

#include "QXReply.h"

#include <string>

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
    PasswordExpired = -1207,
    NewPinRequired = -205,
    NextPasscodeRequired = -202,
};

// Builds refusal replies: plain text "Code=<n>\nDescription=<text>\n", the description in
// English, French or Japanese by the request's "lang". The launcher reads reply bodies in the
// workstation's code page and re-reads a Japanese description as code page 932, so French
// goes out in code page 1252 and Japanese in code page 932.
class CQXRefusal {
public:
    static SQXReply Make(int status, EQXRefusal code, const std::string& lang);
    // The description alone, as UTF-8.
    static std::string Description(EQXRefusal code, const std::string& lang);
};
