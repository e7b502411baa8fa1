#include "QXSessionStore.h"

#include "QXPasswordHash.h"
#include "QXStatement.h"

CQXSessionStore::CQXSessionStore(CQXDatabase& db, const CQXClock& clock,
                                 std::int64_t lifetimeSeconds)
    : m_db(db), m_clock(clock), m_lifetime(lifetimeSeconds) {}

std::string CQXSessionStore::Open(const std::string& user, const std::string& lang) {
    const std::string id = CQXPasswordHash::RandomHex(16);
    const std::int64_t now = m_clock.Now();
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(), "DELETE FROM sessions WHERE expires <= ?").Bind(1, now).Step();
    CQXStatement(m_db.Handle(),
                 "INSERT INTO sessions (id, user, expires, lang) VALUES (?, ?, ?, ?)")
        .Bind(1, id)
        .Bind(2, user)
        .Bind(3, now + m_lifetime)
        .Bind(4, lang)
        .Step();
    return id;
}

std::optional<SQXSession> CQXSessionStore::Use(const std::string& id) {
    if (id.empty())
        return std::nullopt;
    const std::int64_t now = m_clock.Now();
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(), "SELECT user, application, version, expires, lang "
                                       "FROM sessions WHERE id = ? AND expires > ?");
    select.Bind(1, id).Bind(2, now);
    if (!select.Step())
        return std::nullopt;
    SQXSession session{id, select.Text(0), select.Text(1), select.Text(2), select.Text(4)};
    // Busy sessions are used many times a second: write only when the expiry moves.
    if (select.Integer(3) != now + m_lifetime) {
        CQXStatement(m_db.Handle(), "UPDATE sessions SET expires = ? WHERE id = ?")
            .Bind(1, now + m_lifetime)
            .Bind(2, id)
            .Step();
    }
    return session;
}

void CQXSessionStore::Remember(const SQXSession& session, const std::string& application,
                               const std::string& version) {
    if (session.application == application && session.version == version)
        return;
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(), "UPDATE sessions SET application = ?, version = ? WHERE id = ?")
        .Bind(1, application)
        .Bind(2, version)
        .Bind(3, session.id)
        .Step();
}

bool CQXSessionStore::Close(const std::string& id) {
    auto lock = m_db.Lock();
    CQXStatement remove(m_db.Handle(), "DELETE FROM sessions WHERE id = ? AND expires > ?");
    remove.Bind(1, id).Bind(2, m_clock.Now()).Step();
    return remove.Changes() == 1;
}

void CQXSessionStore::RecordUpdate(const SQXSession& session) {
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(),
                 "INSERT INTO updates (user, application, version, time) VALUES (?, ?, ?, ?)")
        .Bind(1, session.user)
        .Bind(2, session.application)
        .Bind(3, session.version)
        .Bind(4, m_clock.Now())
        .Step();
}

std::vector<SQXUpdateRecord> CQXSessionStore::Updates() {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(), "SELECT time, user, application, version FROM updates "
                                       "ORDER BY time, rowid");
    std::vector<SQXUpdateRecord> records;
    while (select.Step())
        records.push_back({select.Integer(0), select.Text(1), select.Text(2), select.Text(3)});
    return records;
}
