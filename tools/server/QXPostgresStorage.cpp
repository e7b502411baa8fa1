#include "QXPostgresStorage.h"

namespace {

using P = SQXPgParam;

// Connections per server: enough for the request threads that are not busy deriving keys.
constexpr std::size_t kConnections = 8;
// Taken while the schema is brought up to date, so that servers starting together take turns.
const char* const kMigrationLock = "SELECT pg_advisory_xact_lock(7340611)";

// The schema, one step per version, as for SQLite: names compare without case through
// lower(), which the indexes cover.
const char* const kMigrations[] = {
    R"(
CREATE TABLE users (
    name TEXT NOT NULL,
    kind TEXT NOT NULL,
    salt BYTEA NOT NULL,
    hash BYTEA NOT NULL,
    iterations INTEGER NOT NULL,
    password_changed BIGINT NOT NULL,
    token_state TEXT NOT NULL DEFAULT '',
    next_salt BYTEA,
    next_hash BYTEA
);
CREATE UNIQUE INDEX users_name ON users (lower(name));
CREATE TABLE sessions (
    id TEXT PRIMARY KEY,
    "user" TEXT NOT NULL,
    expires BIGINT NOT NULL,
    application TEXT NOT NULL DEFAULT '',
    version TEXT NOT NULL DEFAULT ''
);
CREATE TABLE updates (
    id BIGSERIAL PRIMARY KEY,
    "user" TEXT NOT NULL,
    application TEXT NOT NULL,
    version TEXT NOT NULL,
    time BIGINT NOT NULL
);
)",
    R"(
CREATE INDEX sessions_user ON sessions (lower("user"));
CREATE INDEX sessions_expires ON sessions (expires);
)", "ALTER TABLE sessions ADD COLUMN lang TEXT NOT NULL DEFAULT '';",
    R"(
CREATE TABLE login_failures (
    run TEXT PRIMARY KEY,
    failures INTEGER NOT NULL,
    last BIGINT NOT NULL,
    held_until BIGINT NOT NULL DEFAULT 0
);
CREATE INDEX login_failures_last ON login_failures (last);
)",
    R"(
ALTER TABLE users ADD COLUMN group_list TEXT NOT NULL DEFAULT '';
CREATE TABLE directory_groups (user_key TEXT PRIMARY KEY, group_list TEXT NOT NULL);
ALTER TABLE updates ADD COLUMN outcome TEXT NOT NULL DEFAULT 'done',
    ADD COLUMN from_version TEXT NOT NULL DEFAULT '',
    ADD COLUMN stage TEXT NOT NULL DEFAULT '',
    ADD COLUMN reason TEXT NOT NULL DEFAULT '',
    ADD COLUMN duration BIGINT NOT NULL DEFAULT -1;
CREATE INDEX updates_version ON updates (application, version, time);
CREATE TABLE rollouts (
    application TEXT PRIMARY KEY,
    version TEXT NOT NULL,
    group_list TEXT NOT NULL,
    percent INTEGER NOT NULL,
    state TEXT NOT NULL,
    halt_percent INTEGER NOT NULL,
    min_reports INTEGER NOT NULL,
    started BIGINT NOT NULL,
    reason TEXT NOT NULL
);
)",
    R"(
CREATE TABLE admins (
    name TEXT NOT NULL,
    salt BYTEA NOT NULL,
    hash BYTEA NOT NULL,
    iterations INTEGER NOT NULL,
    created BIGINT NOT NULL
);
CREATE UNIQUE INDEX admins_name ON admins (lower(name));
CREATE TABLE admin_sessions (
    id TEXT PRIMARY KEY,
    admin TEXT NOT NULL,
    csrf TEXT NOT NULL,
    expires BIGINT NOT NULL
);
CREATE TABLE audit (
    id BIGSERIAL PRIMARY KEY,
    time BIGINT NOT NULL,
    admin TEXT NOT NULL,
    action TEXT NOT NULL,
    detail TEXT NOT NULL
);
)",
};

// The columns name, kind, token_state, password_changed, then group_list at groupColumn.
SQXUserInfo InfoOf(const CQXPgResult& result, int row, int groupColumn) {
    return {result.Text(row, 0), UserKindOf(result.Text(row, 1)), TokenStateOf(result.Text(row, 2)),
            result.Integer(row, 3), SplitGroups(result.Text(row, groupColumn))};
}

} // namespace

CQXPostgresStorage::CQXPostgresStorage(const std::string& uri, std::chrono::milliseconds timeout)
    : m_pool(uri, kConnections, timeout) {
    Migrate();
}

void CQXPostgresStorage::Migrate() {
    m_pool.Transaction([](const CQXPgPool::Script& run) {
        run(kMigrationLock);
        run("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
        const CQXPgResult current = run("SELECT coalesce(max(version), 0) FROM schema_version");
        const std::int64_t done = std::stoll(current.Text(0, 0));
        const auto count = static_cast<std::int64_t>(std::size(kMigrations));
        if (done > count)
            throw CQXDatabaseError("the database has schema version " + std::to_string(done) +
                                   ", newer than this server's " + std::to_string(count));
        for (std::int64_t step = done; step < count; ++step)
            run(kMigrations[step]);
        run("DELETE FROM schema_version");
        run("INSERT INTO schema_version VALUES (" + std::to_string(count) + ")");
    });
}

bool CQXPostgresStorage::AddUser(const SQXUserRecord& user) {
    return m_pool
               .Run(
                   "INSERT INTO users (name, kind, salt, hash, iterations, password_changed, "
                   "token_state, next_salt, next_hash, group_list) VALUES ($1, $2, $3, $4, $5, $6, "
                   "$7, $8, $9, $10) ON CONFLICT DO NOTHING",
                   {P::Text(user.info.name), P::Text(UserKindName(user.info.kind)),
                    P::Bytes(user.salt), P::Bytes(user.hash), P::Number(user.iterations),
                    P::Number(user.info.passwordChanged),
                    P::Text(TokenStateName(user.info.tokenState)), P::Bytes(user.nextSalt),
                    P::Bytes(user.nextHash), P::Text(JoinGroups(user.info.groups))})
               .Changed() == 1;
}

std::optional<SQXUserRecord> CQXPostgresStorage::FindUser(const std::string& name) {
    const CQXPgResult result =
        m_pool.Run("SELECT name, kind, token_state, password_changed, salt, hash, iterations, "
                   "next_salt, next_hash, group_list FROM users WHERE lower(name) = lower($1)",
                   {P::Text(name)});
    if (result.Rows() == 0)
        return std::nullopt;
    SQXUserRecord user;
    user.info = InfoOf(result, 0, 9);
    user.salt = result.Text(0, 4);
    user.hash = result.Text(0, 5);
    user.iterations = static_cast<int>(result.Integer(0, 6));
    user.nextSalt = result.Text(0, 7);
    user.nextHash = result.Text(0, 8);
    return user;
}

std::vector<SQXUserInfo> CQXPostgresStorage::ListUsers() {
    const CQXPgResult result =
        m_pool.Run("SELECT name, kind, token_state, password_changed, "
                   "group_list FROM users ORDER BY lower(name) COLLATE \"C\"");
    std::vector<SQXUserInfo> users;
    for (int row = 0; row < result.Rows(); ++row)
        users.push_back(InfoOf(result, row, 4));
    return users;
}

bool CQXPostgresStorage::RemoveUser(const std::string& name) {
    const CQXPgResult result =
        m_pool.Run("WITH gone AS (DELETE FROM users WHERE lower(name) = lower($1) RETURNING 1), "
                   "ended AS (DELETE FROM sessions WHERE lower(\"user\") = lower($1) "
                   "AND EXISTS (SELECT 1 FROM gone)) SELECT count(*) FROM gone",
                   {P::Text(name)});
    return result.Integer(0, 0) > 0;
}

void CQXPostgresStorage::ReplaceSecret(const std::string& name, const std::string& salt,
                                       const std::string& hash, int iterations,
                                       std::int64_t changedAt) {
    m_pool.Run("WITH changed AS (UPDATE users SET salt = $2, hash = $3, iterations = $4, "
               "password_changed = $5 WHERE lower(name) = lower($1) RETURNING 1) "
               "DELETE FROM sessions WHERE lower(\"user\") = lower($1)",
               {P::Text(name), P::Bytes(salt), P::Bytes(hash), P::Number(iterations),
                P::Number(changedAt)});
}

void CQXPostgresStorage::SetPasswordChanged(const std::string& name, std::int64_t changedAt) {
    m_pool.Run("UPDATE users SET password_changed = $2 WHERE lower(name) = lower($1)",
               {P::Text(name), P::Number(changedAt)});
}

void CQXPostgresStorage::SetTokenState(const std::string& name, EQXTokenState state) {
    m_pool.Run("UPDATE users SET token_state = $2 WHERE lower(name) = lower($1)",
               {P::Text(name), P::Text(TokenStateName(state))});
}

void CQXPostgresStorage::OpenSession(const SQXSession& session, std::int64_t expires,
                                     std::int64_t now) {
    m_pool.Run("WITH purged AS (DELETE FROM sessions WHERE expires <= $4) "
               "INSERT INTO sessions (id, \"user\", expires, lang) VALUES ($1, $2, $3, $5)",
               {P::Text(session.id), P::Text(session.user), P::Number(expires), P::Number(now),
                P::Text(session.lang)});
}

std::optional<std::pair<SQXSession, std::int64_t>>
CQXPostgresStorage::FindSession(const std::string& id, std::int64_t now) {
    const CQXPgResult result =
        m_pool.Run("SELECT \"user\", application, version, expires, lang FROM sessions "
                   "WHERE id = $1 AND expires > $2",
                   {P::Text(id), P::Number(now)});
    if (result.Rows() == 0)
        return std::nullopt;
    return std::make_pair(
        SQXSession{id, result.Text(0, 0), result.Text(0, 1), result.Text(0, 2), result.Text(0, 4)},
        result.Integer(0, 3));
}

void CQXPostgresStorage::SetSessionExpiry(const std::string& id, std::int64_t expires) {
    m_pool.Run("UPDATE sessions SET expires = $2 WHERE id = $1", {P::Text(id), P::Number(expires)});
}

void CQXPostgresStorage::SetSessionWork(const std::string& id, const std::string& application,
                                        const std::string& version) {
    m_pool.Run("UPDATE sessions SET application = $2, version = $3 WHERE id = $1",
               {P::Text(id), P::Text(application), P::Text(version)});
}

bool CQXPostgresStorage::CloseSession(const std::string& id, std::int64_t now) {
    return m_pool
               .Run("DELETE FROM sessions WHERE id = $1 AND expires > $2",
                    {P::Text(id), P::Number(now)})
               .Changed() == 1;
}

void CQXPostgresStorage::AddUpdate(const SQXUpdateRecord& r) {
    m_pool.Run("INSERT INTO updates (\"user\", application, version, time, outcome, "
               "from_version, stage, reason, duration) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9)",
               {P::Text(r.user), P::Text(r.application), P::Text(r.version), P::Number(r.time),
                P::Text(r.failed ? "failed" : "done"), P::Text(r.fromVersion), P::Text(r.stage),
                P::Text(r.reason), P::Number(r.duration)});
}

std::vector<SQXUpdateRecord> CQXPostgresStorage::Updates() {
    const CQXPgResult result =
        m_pool.Run("SELECT time, \"user\", application, version, outcome, from_version, stage, "
                   "reason, duration FROM updates ORDER BY time, id");
    std::vector<SQXUpdateRecord> records;
    for (int row = 0; row < result.Rows(); ++row)
        records.push_back({result.Integer(row, 0), result.Text(row, 1), result.Text(row, 2),
                           result.Text(row, 3), result.Text(row, 4) == "failed",
                           result.Text(row, 5), result.Text(row, 6), result.Text(row, 7),
                           result.Integer(row, 8)});
    return records;
}

SQXReportCounts CQXPostgresStorage::CountReports(const std::string& application,
                                                 const std::string& version, std::int64_t since) {
    const CQXPgResult result =
        m_pool.Run("SELECT count(*) FILTER (WHERE outcome = 'done'), "
                   "count(*) FILTER (WHERE outcome = 'failed') FROM updates "
                   "WHERE application = $1 AND version = $2 AND time >= $3",
                   {P::Text(application), P::Text(version), P::Number(since)});
    return {result.Integer(0, 0), result.Integer(0, 1)};
}

bool CQXPostgresStorage::SetUserGroups(const std::string& name,
                                       const std::vector<std::string>& groups) {
    return m_pool
               .Run("UPDATE users SET group_list = $2 WHERE lower(name) = lower($1)",
                    {P::Text(name), P::Text(JoinGroups(groups))})
               .Changed() == 1;
}

void CQXPostgresStorage::SetDirectoryGroups(const std::string& name,
                                            const std::vector<std::string>& groups) {
    m_pool.Run("INSERT INTO directory_groups (user_key, group_list) VALUES ($1, $2) "
               "ON CONFLICT (user_key) DO UPDATE SET group_list = $2",
               {P::Text(UserKey(name)), P::Text(JoinGroups(groups))});
}

std::vector<std::string> CQXPostgresStorage::DirectoryGroups(const std::string& name) {
    const CQXPgResult result = m_pool.Run(
        "SELECT group_list FROM directory_groups WHERE user_key = $1", {P::Text(UserKey(name))});
    return result.Rows() == 0 ? std::vector<std::string>() : SplitGroups(result.Text(0, 0));
}

void CQXPostgresStorage::PutRollout(const SQXRollout& r) {
    m_pool.Run("INSERT INTO rollouts (application, version, group_list, percent, state, "
               "halt_percent, min_reports, started, reason) VALUES ($1, $2, $3, $4, $5, $6, $7, "
               "$8, $9) ON CONFLICT (application) DO UPDATE SET version = $2, group_list = $3, "
               "percent = $4, state = $5, halt_percent = $6, min_reports = $7, started = $8, "
               "reason = $9",
               {P::Text(r.application), P::Text(r.version), P::Text(JoinGroups(r.groups)),
                P::Number(r.percent), P::Text(r.state), P::Number(r.haltPercent),
                P::Number(r.minReports), P::Number(r.started), P::Text(r.reason)});
}

std::optional<SQXRollout> CQXPostgresStorage::FindRollout(const std::string& application) {
    const CQXPgResult result =
        m_pool.Run("SELECT version, group_list, percent, state, halt_percent, min_reports, "
                   "started, reason FROM rollouts WHERE application = $1",
                   {P::Text(application)});
    if (result.Rows() == 0)
        return std::nullopt;
    return SQXRollout{application,
                      result.Text(0, 0),
                      SplitGroups(result.Text(0, 1)),
                      static_cast<int>(result.Integer(0, 2)),
                      result.Text(0, 3),
                      static_cast<int>(result.Integer(0, 4)),
                      static_cast<int>(result.Integer(0, 5)),
                      result.Integer(0, 6),
                      result.Text(0, 7)};
}

bool CQXPostgresStorage::HaltRollout(const std::string& application, const std::string& reason) {
    return m_pool
               .Run("UPDATE rollouts SET state = 'halted', reason = $2 "
                    "WHERE application = $1 AND state = 'running'",
                    {P::Text(application), P::Text(reason)})
               .Changed() == 1;
}

int CQXPostgresStorage::CountFailure(const std::string& key, std::int64_t now,
                                     std::int64_t forgetAfter) {
    m_pool.Run("DELETE FROM login_failures WHERE last < $1 AND held_until <= $2",
               {P::Number(now - forgetAfter), P::Number(now)});
    // One statement, so that servers counting the same run at once never lose a failure.
    return static_cast<int>(
        m_pool
            .Run("INSERT INTO login_failures AS f (run, failures, last) VALUES ($1, 1, $2) "
                 "ON CONFLICT (run) DO UPDATE SET failures = CASE WHEN $2 - f.last > $3 "
                 "THEN 1 ELSE f.failures + 1 END, last = $2 RETURNING failures",
                 {P::Text(key), P::Number(now), P::Number(forgetAfter)})
            .Integer(0, 0));
}

void CQXPostgresStorage::HoldBack(const std::string& key, std::int64_t until) {
    m_pool.Run("UPDATE login_failures SET held_until = greatest(held_until, $2) WHERE run = $1",
               {P::Text(key), P::Number(until)});
}

std::int64_t CQXPostgresStorage::HeldUntil(const std::string& key, const std::string& other) {
    return m_pool
        .Run("SELECT coalesce(max(held_until), 0) FROM login_failures WHERE run IN ($1, $2)",
             {P::Text(key), P::Text(other)})
        .Integer(0, 0);
}

void CQXPostgresStorage::ForgetFailures(const std::string& key) {
    m_pool.Run("DELETE FROM login_failures WHERE run = $1", {P::Text(key)});
}
