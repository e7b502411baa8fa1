#include "QXSessionStore.h"

#include "QXPasswordHash.h"

CQXSessionStore::CQXSessionStore(IQXStorage& storage, const CQXClock& clock,
                                 std::int64_t lifetimeSeconds)
    : m_storage(storage), m_clock(clock), m_lifetime(lifetimeSeconds) {}

std::string CQXSessionStore::Open(const std::string& user, const std::string& lang) {
    const std::string id = CQXPasswordHash::RandomHex(16);
    const std::int64_t now = m_clock.Now();
    m_storage.OpenSession({id, user, "", "", lang}, now + m_lifetime, now);
    return id;
}

std::optional<SQXSession> CQXSessionStore::Use(const std::string& id) {
    if (id.empty())
        return std::nullopt;
    const std::int64_t now = m_clock.Now();
    const auto found = m_storage.FindSession(id, now);
    if (!found)
        return std::nullopt;
    // Busy sessions are used many times a second: write only when the expiry moves.
    if (found->second != now + m_lifetime)
        m_storage.SetSessionExpiry(id, now + m_lifetime);
    return found->first;
}

void CQXSessionStore::Remember(const SQXSession& session, const std::string& application,
                               const std::string& version) {
    if (session.application == application && session.version == version)
        return;
    m_storage.SetSessionWork(session.id, application, version);
}

bool CQXSessionStore::Close(const std::string& id) {
    return m_storage.CloseSession(id, m_clock.Now());
}

std::vector<SQXUpdateRecord> CQXSessionStore::Updates() { return m_storage.Updates(); }
