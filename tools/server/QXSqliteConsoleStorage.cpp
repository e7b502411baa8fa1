// The parts of CQXSqliteStorage the console reads and writes: administrators, their sessions,
// the audit, and the lists its pages show.
#include "QXSqliteStorage.h"
#include "QXStatement.h"

std::vector<std::pair<SQXSession, std::int64_t>> CQXSqliteStorage::ListSessions(std::int64_t now) {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(),
                        "SELECT id, user, application, version, lang, expires FROM sessions "
                        "WHERE expires > ? ORDER BY user COLLATE NOCASE, expires");
    select.Bind(1, now);
    std::vector<std::pair<SQXSession, std::int64_t>> sessions;
    while (select.Step())
        sessions.push_back(
            {{select.Text(0), select.Text(1), select.Text(2), select.Text(3), select.Text(4)},
             select.Integer(5)});
    return sessions;
}

bool CQXSqliteStorage::ReplaceRollout(const SQXRollout& r, const std::string& state,
                                      std::int64_t started) {
    auto lock = m_db.Lock();
    CQXStatement update(m_db.Handle(), "UPDATE rollouts SET version = ?, group_list = ?, "
                                       "percent = ?, state = ?, halt_percent = ?, min_reports = ?, "
                                       "started = ?, reason = ? WHERE application = ? AND "
                                       "state = ? AND started = ?");
    update.Bind(1, r.version).Bind(2, JoinGroups(r.groups)).Bind(3, std::int64_t{r.percent});
    update.Bind(4, r.state).Bind(5, std::int64_t{r.haltPercent});
    update.Bind(6, std::int64_t{r.minReports}).Bind(7, r.started).Bind(8, r.reason);
    update.Bind(9, r.application).Bind(10, state).Bind(11, started).Step();
    return update.Changes() == 1;
}

std::vector<SQXRollout> CQXSqliteStorage::ListRollouts() {
    std::vector<std::string> applications;
    {
        auto lock = m_db.Lock();
        CQXStatement select(m_db.Handle(), "SELECT application FROM rollouts ORDER BY application");
        while (select.Step())
            applications.push_back(select.Text(0));
    }
    std::vector<SQXRollout> rollouts;
    for (const auto& application : applications)
        if (auto rollout = FindRollout(application))
            rollouts.push_back(std::move(*rollout));
    return rollouts;
}

bool CQXSqliteStorage::AddAdmin(const SQXAdminRecord& admin) {
    auto lock = m_db.Lock();
    CQXStatement insert(m_db.Handle(), "INSERT OR IGNORE INTO admins (name, salt, hash, "
                                       "iterations, created) VALUES (?, ?, ?, ?, ?)");
    insert.Bind(1, admin.name).BindBlob(2, admin.salt).BindBlob(3, admin.hash);
    insert.Bind(4, std::int64_t{admin.iterations}).Bind(5, admin.created).Step();
    return insert.Changes() == 1;
}

std::optional<SQXAdminRecord> CQXSqliteStorage::FindAdmin(const std::string& name) {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(), "SELECT name, salt, hash, iterations, created FROM admins "
                                       "WHERE name = ?");
    select.Bind(1, name);
    if (!select.Step())
        return std::nullopt;
    return SQXAdminRecord{select.Text(0), select.Text(1), select.Text(2),
                          static_cast<int>(select.Integer(3)), select.Integer(4)};
}

std::vector<std::string> CQXSqliteStorage::ListAdmins() {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(), "SELECT name FROM admins ORDER BY name COLLATE NOCASE");
    std::vector<std::string> names;
    while (select.Step())
        names.push_back(select.Text(0));
    return names;
}

bool CQXSqliteStorage::RemoveAdmin(const std::string& name) {
    auto lock = m_db.Lock();
    // A session whose administrator is gone is refused by FindAdminSession even if this second
    // statement never runs.
    CQXStatement remove(m_db.Handle(), "DELETE FROM admins WHERE name = ?");
    remove.Bind(1, name).Step();
    const bool removed = remove.Changes() == 1;
    CQXStatement(m_db.Handle(), "DELETE FROM admin_sessions WHERE admin = ?").Bind(1, name).Step();
    return removed;
}

void CQXSqliteStorage::OpenAdminSession(const SQXAdminSession& session, std::int64_t now) {
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(), "DELETE FROM admin_sessions WHERE expires <= ?")
        .Bind(1, now)
        .Step();
    CQXStatement(m_db.Handle(),
                 "INSERT INTO admin_sessions (id, admin, csrf, expires) VALUES (?, ?, ?, ?)")
        .Bind(1, session.id)
        .Bind(2, session.admin)
        .Bind(3, session.csrf)
        .Bind(4, session.expires)
        .Step();
}

std::optional<SQXAdminSession> CQXSqliteStorage::FindAdminSession(const std::string& id,
                                                                  std::int64_t now) {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(),
                        "SELECT a.name, s.csrf, s.expires FROM admin_sessions s JOIN admins a "
                        "ON a.name = s.admin WHERE s.id = ? AND s.expires > ?");
    select.Bind(1, id).Bind(2, now);
    if (!select.Step())
        return std::nullopt;
    return SQXAdminSession{id, select.Text(0), select.Text(1), select.Integer(2)};
}

void CQXSqliteStorage::CloseAdminSession(const std::string& id) {
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(), "DELETE FROM admin_sessions WHERE id = ?").Bind(1, id).Step();
}

void CQXSqliteStorage::AddAudit(const SQXAuditEntry& entry) {
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(),
                 "INSERT INTO audit (time, admin, action, detail) VALUES (?, ?, ?, ?)")
        .Bind(1, entry.time)
        .Bind(2, entry.admin)
        .Bind(3, entry.action)
        .Bind(4, entry.detail)
        .Step();
}

std::vector<SQXAuditEntry> CQXSqliteStorage::Audit() {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(),
                        "SELECT time, admin, action, detail FROM audit ORDER BY time, rowid");
    std::vector<SQXAuditEntry> entries;
    while (select.Step())
        entries.push_back({select.Integer(0), select.Text(1), select.Text(2), select.Text(3)});
    return entries;
}
