#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "QXClock.h"
#include "QXStorage.h"

enum class EQXLoginVerdict {
    Accepted,
    Refused,
    PasswordExpired,
    NewPinRequired,
    NextPasscodeRequired
};

// The users, as the storage keeps them. Keys are derived before the storage is called, so
// that logins on several threads do not queue behind each other's key derivation.
class CQXUserStore {
public:
    CQXUserStore(IQXStorage& storage, const CQXClock& clock, std::int64_t maxPasswordAgeDays);

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
    // Verifies the old password of a password user (expired or not) and stores the new one,
    // ending the user's sessions. An unknown name costs the same time as a wrong password.
    bool ChangePassword(const std::string& name, const std::string& oldPassword,
                        const std::string& newPassword);
    // Whole days left before the password must be changed (0 when due), or -1 when the user
    // has no password that ages.
    std::int64_t DaysBeforePasswordChange(const std::string& name);

private:
    using Secret = SQXUserRecord;
    // Stores a new secret and ends the user's sessions.
    void StoreSecret(const std::string& name, const std::string& password);
    bool IsExpired(const SQXUserInfo& user) const;
    EQXLoginVerdict TokenLogin(const Secret& secret, const std::string& password,
                               const std::optional<std::string>& previousPasscode);

    IQXStorage& m_storage;
    const CQXClock& m_clock;
    std::int64_t m_maxAgeDays;
};
