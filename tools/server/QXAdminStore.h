#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "QXClock.h"
#include "QXStorage.h"

// The console's administrators (apart from the users), their logins and the audit of their
// changes, all in the storage, so that every server sharing it knows them. Passwords are
// hashed as users' are. A console session lasts kLifetime seconds from its login and is not
// renewed by use; the storage keeps only a digest of the cookie's value.
class CQXAdminStore {
public:
    static constexpr std::int64_t kLifetime = 8 * 3600;

    CQXAdminStore(IQXStorage& storage, const CQXClock& clock)
        : m_storage(storage), m_clock(clock) {}

    // False when the name is taken or empty.
    bool Add(const std::string& name, const std::string& password);
    // The administrator's stored name when the password is theirs; an unknown name costs the
    // same time as a wrong password.
    std::optional<std::string> Verify(const std::string& name, const std::string& password);
    // Opens a console session: the cookie's value, and the session with its CSRF token.
    std::pair<std::string, SQXAdminSession> Open(const std::string& admin);
    // The live session the cookie's value names.
    std::optional<SQXAdminSession> Use(const std::string& cookie);
    void Close(const std::string& cookie);
    // Writes one change to the audit, stamped now.
    void Audit(const std::string& admin, const std::string& action, const std::string& detail);

    // The lower-case hex SHA-256 of a secret (a cookie's value, a launcher's session id), so
    // that pages and the storage need not hold the secret itself.
    static std::string Digest(const std::string& secret);

private:
    IQXStorage& m_storage;
    const CQXClock& m_clock;
};
