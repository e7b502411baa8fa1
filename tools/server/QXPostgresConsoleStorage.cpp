// The parts of CQXPostgresStorage the console reads and writes: administrators, their
// sessions, the audit, and the lists its pages show.
#include "QXPostgresStorage.h"

namespace {
using P = SQXPgParam;
} // namespace

std::vector<std::pair<SQXSession, std::int64_t>>
CQXPostgresStorage::ListSessions(std::int64_t now) {
    const CQXPgResult result =
        m_pool.Run("SELECT id, \"user\", application, version, lang, expires FROM sessions "
                   "WHERE expires > $1 ORDER BY lower(\"user\") COLLATE \"C\", expires",
                   {P::Number(now)});
    std::vector<std::pair<SQXSession, std::int64_t>> sessions;
    for (int row = 0; row < result.Rows(); ++row)
        sessions.push_back({{result.Text(row, 0), result.Text(row, 1), result.Text(row, 2),
                             result.Text(row, 3), result.Text(row, 4)},
                            result.Integer(row, 5)});
    return sessions;
}

bool CQXPostgresStorage::ReplaceRollout(const SQXRollout& r, const std::string& state,
                                        std::int64_t started) {
    return m_pool
               .Run("UPDATE rollouts SET version = $2, group_list = $3, percent = $4, state = $5, "
                    "halt_percent = $6, min_reports = $7, started = $8, reason = $9 "
                    "WHERE application = $1 AND state = $10 AND started = $11",
                    {P::Text(r.application), P::Text(r.version), P::Text(JoinGroups(r.groups)),
                     P::Number(r.percent), P::Text(r.state), P::Number(r.haltPercent),
                     P::Number(r.minReports), P::Number(r.started), P::Text(r.reason),
                     P::Text(state), P::Number(started)})
               .Changed() == 1;
}

std::vector<SQXRollout> CQXPostgresStorage::ListRollouts() {
    const CQXPgResult result =
        m_pool.Run("SELECT application FROM rollouts ORDER BY application COLLATE \"C\"");
    std::vector<SQXRollout> rollouts;
    for (int row = 0; row < result.Rows(); ++row)
        if (auto rollout = FindRollout(result.Text(row, 0)))
            rollouts.push_back(std::move(*rollout));
    return rollouts;
}

bool CQXPostgresStorage::AddAdmin(const SQXAdminRecord& admin) {
    return m_pool
               .Run("INSERT INTO admins (name, salt, hash, iterations, created) "
                    "VALUES ($1, $2, $3, $4, $5) ON CONFLICT DO NOTHING",
                    {P::Text(admin.name), P::Bytes(admin.salt), P::Bytes(admin.hash),
                     P::Number(admin.iterations), P::Number(admin.created)})
               .Changed() == 1;
}

std::optional<SQXAdminRecord> CQXPostgresStorage::FindAdmin(const std::string& name) {
    const CQXPgResult result =
        m_pool.Run("SELECT name, salt, hash, iterations, created FROM admins "
                   "WHERE lower(name) = lower($1)",
                   {P::Text(name)});
    if (result.Rows() == 0)
        return std::nullopt;
    return SQXAdminRecord{result.Text(0, 0), result.Text(0, 1), result.Text(0, 2),
                          static_cast<int>(result.Integer(0, 3)), result.Integer(0, 4)};
}

std::vector<std::string> CQXPostgresStorage::ListAdmins() {
    const CQXPgResult result =
        m_pool.Run("SELECT name FROM admins ORDER BY lower(name) COLLATE \"C\"");
    std::vector<std::string> names;
    for (int row = 0; row < result.Rows(); ++row)
        names.push_back(result.Text(row, 0));
    return names;
}

bool CQXPostgresStorage::RemoveAdmin(const std::string& name) {
    const CQXPgResult result =
        m_pool.Run("WITH gone AS (DELETE FROM admins WHERE lower(name) = lower($1) RETURNING 1), "
                   "ended AS (DELETE FROM admin_sessions WHERE lower(admin) = lower($1)) "
                   "SELECT count(*) FROM gone",
                   {P::Text(name)});
    return result.Integer(0, 0) > 0;
}

void CQXPostgresStorage::OpenAdminSession(const SQXAdminSession& session, std::int64_t now) {
    m_pool.Run("WITH purged AS (DELETE FROM admin_sessions WHERE expires <= $5) "
               "INSERT INTO admin_sessions (id, admin, csrf, expires) VALUES ($1, $2, $3, $4)",
               {P::Text(session.id), P::Text(session.admin), P::Text(session.csrf),
                P::Number(session.expires), P::Number(now)});
}

std::optional<SQXAdminSession> CQXPostgresStorage::FindAdminSession(const std::string& id,
                                                                    std::int64_t now) {
    const CQXPgResult result =
        m_pool.Run("SELECT a.name, s.csrf, s.expires FROM admin_sessions s JOIN admins a "
                   "ON lower(a.name) = lower(s.admin) WHERE s.id = $1 AND s.expires > $2",
                   {P::Text(id), P::Number(now)});
    if (result.Rows() == 0)
        return std::nullopt;
    return SQXAdminSession{id, result.Text(0, 0), result.Text(0, 1), result.Integer(0, 2)};
}

void CQXPostgresStorage::CloseAdminSession(const std::string& id) {
    m_pool.Run("DELETE FROM admin_sessions WHERE id = $1", {P::Text(id)});
}

void CQXPostgresStorage::AddAudit(const SQXAuditEntry& entry) {
    m_pool.Run("INSERT INTO audit (time, admin, action, detail) VALUES ($1, $2, $3, $4)",
               {P::Number(entry.time), P::Text(entry.admin), P::Text(entry.action),
                P::Text(entry.detail)});
}

std::vector<SQXAuditEntry> CQXPostgresStorage::Audit() {
    const CQXPgResult result =
        m_pool.Run("SELECT time, admin, action, detail FROM audit ORDER BY time, id");
    std::vector<SQXAuditEntry> entries;
    for (int row = 0; row < result.Rows(); ++row)
        entries.push_back({result.Integer(row, 0), result.Text(row, 1), result.Text(row, 2),
                           result.Text(row, 3)});
    return entries;
}
