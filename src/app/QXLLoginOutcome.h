#pragma once

#include <optional>

// How a login or a password change ended.
enum class QXLLogin {
    LoggedIn,
    PasswordExpired,      // refused with -1207: the user must choose a new password
    NewPinRequired,       // refused with -205: the token wants a new PIN
    NextPasscodeRequired, // refused with -202: the token wants its next passcode
    Refused,              // any other refusal, or no usable answer
    NotSent,              // a value could not travel unaltered: nothing was sent
};

// A login's or password change's result with the server's refusal code, when it gave one
// that an int holds (never 0).
struct SQXLLoginOutcome {
    QXLLogin result = QXLLogin::Refused;
    std::optional<int> serverCode;

    static SQXLLoginOutcome LoggedIn() { return {QXLLogin::LoggedIn, std::nullopt}; }
    static SQXLLoginOutcome NotSent() { return {QXLLogin::NotSent, std::nullopt}; }
    // The outcome of a refusal carrying code (nullopt: none or unreadable).
    static SQXLLoginOutcome FromRefusal(std::optional<int> code);

    bool IsLoggedIn() const { return result == QXLLogin::LoggedIn; }
    // The number the log lines give for it: 0 when logged in, the server's code, otherwise
    // -9999.
    int LogCode() const;
};
