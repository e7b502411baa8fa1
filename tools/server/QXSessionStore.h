#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "QXClock.h"
#include "QXStorage.h"

// Server sessions in the storage: random 128-bit ids and a sliding lifetime that every
// valid use renews. Servers sharing a storage share their sessions.
class CQXSessionStore {
public:
    CQXSessionStore(IQXStorage& storage, const CQXClock& clock, std::int64_t lifetimeSeconds);

    // Opens a session for the user, who logged in with lang, and returns its id; expired
    // sessions are purged here.
    std::string Open(const std::string& user, const std::string& lang);
    // The live session with this id, its lifetime renewed; nothing when unknown or expired.
    std::optional<SQXSession> Use(const std::string& id);
    // Stores the application and version the session works on (written only when new).
    void Remember(const SQXSession& session, const std::string& application,
                  const std::string& version);
    // Ends the session; false when it was not live.
    bool Close(const std::string& id);
    // Every recorded update, oldest first.
    std::vector<SQXUpdateRecord> Updates();

private:
    IQXStorage& m_storage;
    const CQXClock& m_clock;
    std::int64_t m_lifetime;
};
