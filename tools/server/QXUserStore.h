#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "QXClock.h"
#include "QXDatabase.h"

// What a user logs in with: a password, a token passcode, or the single sign-on name alone.
enum class EQXUserKind { Password, Token, Sso };

// The token's demand at the next login: nothing, a new PIN, or the next passcode.
enum class EQXTokenState { None, NewPin, NextPasscode };

struct SQXUserInfo {
    std::string name;
    EQXUserKind kind = EQXUserKind::Password;
    EQXTokenState tokenState = EQXTokenState::None;
    // Seconds since the epoch; 0 when the password must be changed at the next login.
    std::int64_t passwordChanged = 0;
};

enum class EQXLoginVerdict {
    Accepted,
    Refused,
    PasswordExpired,
    NewPinRequired,
    NextPasscodeRequired
};

// The users table. Hashing runs outside the database lock so that logins on several threads
// do not queue behind each other's key derivation.
class CQXUserStore {
public:
    CQXUserStore(CQXDatabase& db, const CQXClock& clock, std::int64_t maxPasswordAgeDays);

    // False when the name is taken. For a token user, password is the current passcode and
    // nextPasscode the one a NextPasscode exchange expects.
    bool Add(const SQXUserInfo& user, const std::string& password,
             const std::string& nextPasscode = std::string());
    // Replaces the secret and ends the user's sessions; expired forces a change at the next
    // login. False if no such user.
    bool SetPassword(const std::string& name, const std::string& password, bool expired);
    bool Remove(const std::string& name);
    std::vector<SQXUserInfo> List();
    std::optional<SQXUserInfo> Find(const std::string& name);

    // The P3Login decision. previousPasscode is set when the launcher answers a token demand:
    // the password is then the new PIN or the next passcode.
    EQXLoginVerdict Login(const std::string& name, const std::string& password,
                          const std::optional<std::string>& previousPasscode);
    // The P3SSO decision: accepted only for users marked for single sign-on.
    bool SingleSignOn(const std::string& name);
    // Verifies the old password of a password user (expired or not) and stores the new one,
    // ending the user's sessions. An unknown name costs the same time as a wrong password.
    bool ChangePassword(const std::string& name, const std::string& oldPassword,
                        const std::string& newPassword);
    // Whole days left before the password must be changed (0 when due), or -1 when the user
    // has no password that ages.
    std::int64_t DaysBeforePasswordChange(const std::string& name);

private:
    struct Secret {
        SQXUserInfo info;
        std::string salt, hash, nextSalt, nextHash;
        int iterations = 0;
    };
    std::optional<Secret> ReadSecret(const std::string& name);
    // Stores a new secret and ends the user's sessions.
    void StoreSecret(const std::string& name, const std::string& password);
    void SetTokenState(const std::string& name, EQXTokenState state);
    bool IsExpired(const SQXUserInfo& user) const;
    EQXLoginVerdict TokenLogin(const Secret& secret, const std::string& password,
                               const std::optional<std::string>& previousPasscode);

    CQXDatabase& m_db;
    const CQXClock& m_clock;
    std::int64_t m_maxAgeDays;
};
