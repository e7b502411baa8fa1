#include "QXSqliteStorage.h"

#include "QXStatement.h"

namespace {

// The schema, one step per version; a file at version n has had the first n applied. The
// first step matches the tables of files made before the schema was versioned.
const char* const kMigrations[] = {
    R"(
CREATE TABLE IF NOT EXISTS users (
    name TEXT PRIMARY KEY COLLATE NOCASE,
    kind TEXT NOT NULL,
    salt BLOB NOT NULL,
    hash BLOB NOT NULL,
    iterations INTEGER NOT NULL,
    password_changed INTEGER NOT NULL,
    token_state TEXT NOT NULL DEFAULT '',
    next_salt BLOB,
    next_hash BLOB
);
CREATE TABLE IF NOT EXISTS sessions (
    id TEXT PRIMARY KEY,
    user TEXT NOT NULL COLLATE NOCASE,
    expires INTEGER NOT NULL,
    application TEXT NOT NULL DEFAULT '',
    version TEXT NOT NULL DEFAULT ''
);
CREATE TABLE IF NOT EXISTS updates (
    user TEXT NOT NULL,
    application TEXT NOT NULL,
    version TEXT NOT NULL,
    time INTEGER NOT NULL
);
)",
    R"(
CREATE INDEX IF NOT EXISTS sessions_user ON sessions (user);
CREATE INDEX IF NOT EXISTS sessions_expires ON sessions (expires);
)", "ALTER TABLE sessions ADD COLUMN lang TEXT NOT NULL DEFAULT '';",
    R"(
CREATE TABLE login_failures (
    run TEXT PRIMARY KEY,
    failures INTEGER NOT NULL,
    last INTEGER NOT NULL,
    held_until INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX login_failures_last ON login_failures (last);
)",
    R"(
ALTER TABLE users ADD COLUMN group_list TEXT NOT NULL DEFAULT '';
CREATE TABLE directory_groups (user_key TEXT PRIMARY KEY, group_list TEXT NOT NULL);
ALTER TABLE updates ADD COLUMN outcome TEXT NOT NULL DEFAULT 'done';
ALTER TABLE updates ADD COLUMN from_version TEXT NOT NULL DEFAULT '';
ALTER TABLE updates ADD COLUMN stage TEXT NOT NULL DEFAULT '';
ALTER TABLE updates ADD COLUMN reason TEXT NOT NULL DEFAULT '';
ALTER TABLE updates ADD COLUMN duration INTEGER NOT NULL DEFAULT -1;
CREATE INDEX updates_version ON updates (application, version, time);
CREATE TABLE rollouts (
    application TEXT PRIMARY KEY,
    version TEXT NOT NULL,
    group_list TEXT NOT NULL,
    percent INTEGER NOT NULL,
    state TEXT NOT NULL,
    halt_percent INTEGER NOT NULL,
    min_reports INTEGER NOT NULL,
    started INTEGER NOT NULL,
    reason TEXT NOT NULL
);
)",
    R"(
CREATE TABLE admins (
    name TEXT PRIMARY KEY COLLATE NOCASE,
    salt BLOB NOT NULL,
    hash BLOB NOT NULL,
    iterations INTEGER NOT NULL,
    created INTEGER NOT NULL
);
CREATE TABLE admin_sessions (
    id TEXT PRIMARY KEY,
    admin TEXT NOT NULL COLLATE NOCASE,
    csrf TEXT NOT NULL,
    expires INTEGER NOT NULL
);
CREATE TABLE audit (
    time INTEGER NOT NULL,
    admin TEXT NOT NULL,
    action TEXT NOT NULL,
    detail TEXT NOT NULL
);
)",
};

// BEGIN IMMEDIATE ... COMMIT, rolled back when left by an exception.
class CTransaction {
public:
    explicit CTransaction(CQXDatabase& db) : m_db(db) { m_db.Execute("BEGIN IMMEDIATE"); }
    ~CTransaction() {
        if (!m_done) {
            try {
                m_db.Execute("ROLLBACK");
            } catch (const CQXDatabaseError&) {
            }
        }
    }
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;
    void Commit() {
        m_db.Execute("COMMIT");
        m_done = true;
    }

private:
    CQXDatabase& m_db;
    bool m_done = false;
};

} // namespace

CQXSqliteStorage::CQXSqliteStorage(const std::string& path) : m_db(path) { Migrate(); }

void CQXSqliteStorage::Migrate() {
    auto lock = m_db.Lock();
    CTransaction transaction(m_db);
    CQXStatement version(m_db.Handle(), "PRAGMA user_version");
    version.Step();
    const std::int64_t done = version.Integer(0);
    const auto count = static_cast<std::int64_t>(std::size(kMigrations));
    if (done > count)
        throw CQXDatabaseError("the database has schema version " + std::to_string(done) +
                               ", newer than this server's " + std::to_string(count));
    for (std::int64_t step = done; step < count; ++step)
        m_db.Execute(kMigrations[step]);
    m_db.Execute("PRAGMA user_version = " + std::to_string(count));
    transaction.Commit();
}

bool CQXSqliteStorage::AddUser(const SQXUserRecord& user) {
    auto lock = m_db.Lock();
    CQXStatement insert(m_db.Handle(),
                        "INSERT OR IGNORE INTO users (name, kind, salt, hash, iterations, "
                        "password_changed, token_state, next_salt, next_hash, group_list) "
                        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.Bind(1, user.info.name).Bind(2, std::string(UserKindName(user.info.kind)));
    insert.BindBlob(3, user.salt).BindBlob(4, user.hash).Bind(5, std::int64_t{user.iterations});
    insert.Bind(6, user.info.passwordChanged)
        .Bind(7, std::string(TokenStateName(user.info.tokenState)));
    insert.BindBlob(8, user.nextSalt).BindBlob(9, user.nextHash);
    insert.Bind(10, JoinGroups(user.info.groups));
    insert.Step();
    return insert.Changes() == 1;
}

std::optional<SQXUserRecord> CQXSqliteStorage::FindUser(const std::string& name) {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(),
                        "SELECT name, kind, token_state, password_changed, salt, hash, "
                        "iterations, next_salt, next_hash, group_list FROM users WHERE name = ?");
    select.Bind(1, name);
    if (!select.Step())
        return std::nullopt;
    SQXUserRecord user;
    user.info = {select.Text(0), UserKindOf(select.Text(1)), TokenStateOf(select.Text(2)),
                 select.Integer(3), SplitGroups(select.Text(9))};
    user.salt = select.Text(4);
    user.hash = select.Text(5);
    user.iterations = static_cast<int>(select.Integer(6));
    user.nextSalt = select.Text(7);
    user.nextHash = select.Text(8);
    return user;
}

std::vector<SQXUserInfo> CQXSqliteStorage::ListUsers() {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(), "SELECT name, kind, token_state, password_changed, "
                                       "group_list FROM users ORDER BY name COLLATE NOCASE");
    std::vector<SQXUserInfo> users;
    while (select.Step())
        users.push_back({select.Text(0), UserKindOf(select.Text(1)), TokenStateOf(select.Text(2)),
                         select.Integer(3), SplitGroups(select.Text(4))});
    return users;
}

bool CQXSqliteStorage::RemoveUser(const std::string& name) {
    auto lock = m_db.Lock();
    CTransaction transaction(m_db);
    CQXStatement remove(m_db.Handle(), "DELETE FROM users WHERE name = ?");
    remove.Bind(1, name).Step();
    if (remove.Changes() == 0)
        return false;
    CQXStatement(m_db.Handle(), "DELETE FROM sessions WHERE user = ?").Bind(1, name).Step();
    transaction.Commit();
    return true;
}

void CQXSqliteStorage::ReplaceSecret(const std::string& name, const std::string& salt,
                                     const std::string& hash, int iterations,
                                     std::int64_t changedAt) {
    auto lock = m_db.Lock();
    CTransaction transaction(m_db);
    CQXStatement(m_db.Handle(), "UPDATE users SET salt = ?, hash = ?, iterations = ?, "
                                "password_changed = ? WHERE name = ?")
        .BindBlob(1, salt)
        .BindBlob(2, hash)
        .Bind(3, std::int64_t{iterations})
        .Bind(4, changedAt)
        .Bind(5, name)
        .Step();
    CQXStatement(m_db.Handle(), "DELETE FROM sessions WHERE user = ?").Bind(1, name).Step();
    transaction.Commit();
}

void CQXSqliteStorage::SetPasswordChanged(const std::string& name, std::int64_t changedAt) {
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(), "UPDATE users SET password_changed = ? WHERE name = ?")
        .Bind(1, changedAt)
        .Bind(2, name)
        .Step();
}

void CQXSqliteStorage::SetTokenState(const std::string& name, EQXTokenState state) {
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(), "UPDATE users SET token_state = ? WHERE name = ?")
        .Bind(1, std::string(TokenStateName(state)))
        .Bind(2, name)
        .Step();
}

void CQXSqliteStorage::OpenSession(const SQXSession& session, std::int64_t expires,
                                   std::int64_t now) {
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(), "DELETE FROM sessions WHERE expires <= ?").Bind(1, now).Step();
    CQXStatement(m_db.Handle(),
                 "INSERT INTO sessions (id, user, expires, lang) VALUES (?, ?, ?, ?)")
        .Bind(1, session.id)
        .Bind(2, session.user)
        .Bind(3, expires)
        .Bind(4, session.lang)
        .Step();
}

std::optional<std::pair<SQXSession, std::int64_t>>
CQXSqliteStorage::FindSession(const std::string& id, std::int64_t now) {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(), "SELECT user, application, version, expires, lang "
                                       "FROM sessions WHERE id = ? AND expires > ?");
    select.Bind(1, id).Bind(2, now);
    if (!select.Step())
        return std::nullopt;
    return std::make_pair(
        SQXSession{id, select.Text(0), select.Text(1), select.Text(2), select.Text(4)},
        select.Integer(3));
}

void CQXSqliteStorage::SetSessionExpiry(const std::string& id, std::int64_t expires) {
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(), "UPDATE sessions SET expires = ? WHERE id = ?")
        .Bind(1, expires)
        .Bind(2, id)
        .Step();
}

void CQXSqliteStorage::SetSessionWork(const std::string& id, const std::string& application,
                                      const std::string& version) {
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(), "UPDATE sessions SET application = ?, version = ? WHERE id = ?")
        .Bind(1, application)
        .Bind(2, version)
        .Bind(3, id)
        .Step();
}

bool CQXSqliteStorage::CloseSession(const std::string& id, std::int64_t now) {
    auto lock = m_db.Lock();
    CQXStatement remove(m_db.Handle(), "DELETE FROM sessions WHERE id = ? AND expires > ?");
    remove.Bind(1, id).Bind(2, now).Step();
    return remove.Changes() == 1;
}

void CQXSqliteStorage::AddUpdate(const SQXUpdateRecord& record) {
    auto lock = m_db.Lock();
    CQXStatement insert(
        m_db.Handle(), "INSERT INTO updates (user, application, version, time, outcome, "
                       "from_version, stage, reason, duration) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.Bind(1, record.user).Bind(2, record.application).Bind(3, record.version);
    insert.Bind(4, record.time).Bind(5, std::string(record.failed ? "failed" : "done"));
    insert.Bind(6, record.fromVersion).Bind(7, record.stage).Bind(8, record.reason);
    insert.Bind(9, record.duration).Step();
}

std::vector<SQXUpdateRecord> CQXSqliteStorage::Updates() {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(),
                        "SELECT time, user, application, version, outcome, from_version, stage, "
                        "reason, duration FROM updates ORDER BY time, rowid");
    std::vector<SQXUpdateRecord> records;
    while (select.Step())
        records.push_back({select.Integer(0), select.Text(1), select.Text(2), select.Text(3),
                           select.Text(4) == "failed", select.Text(5), select.Text(6),
                           select.Text(7), select.Integer(8)});
    return records;
}

SQXReportCounts CQXSqliteStorage::CountReports(const std::string& application,
                                               const std::string& version, std::int64_t since) {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(), "SELECT count(*) FILTER (WHERE outcome = 'done'), "
                                       "count(*) FILTER (WHERE outcome = 'failed') FROM updates "
                                       "WHERE application = ? AND version = ? AND time >= ?");
    select.Bind(1, application).Bind(2, version).Bind(3, since).Step();
    return {select.Integer(0), select.Integer(1)};
}

bool CQXSqliteStorage::SetUserGroups(const std::string& name,
                                     const std::vector<std::string>& groups) {
    auto lock = m_db.Lock();
    CQXStatement update(m_db.Handle(), "UPDATE users SET group_list = ? WHERE name = ?");
    update.Bind(1, JoinGroups(groups)).Bind(2, name).Step();
    return update.Changes() == 1;
}

void CQXSqliteStorage::SetDirectoryGroups(const std::string& name,
                                          const std::vector<std::string>& groups) {
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(), "INSERT INTO directory_groups (user_key, group_list) VALUES "
                                "(?1, ?2) ON CONFLICT (user_key) DO UPDATE SET group_list = ?2")
        .Bind(1, UserKey(name))
        .Bind(2, JoinGroups(groups))
        .Step();
}

std::vector<std::string> CQXSqliteStorage::DirectoryGroups(const std::string& name) {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(),
                        "SELECT group_list FROM directory_groups WHERE user_key = ?");
    select.Bind(1, UserKey(name));
    return select.Step() ? SplitGroups(select.Text(0)) : std::vector<std::string>();
}

void CQXSqliteStorage::PutRollout(const SQXRollout& r) {
    auto lock = m_db.Lock();
    CQXStatement insert(m_db.Handle(),
                        "INSERT OR REPLACE INTO rollouts (application, version, group_list, "
                        "percent, state, halt_percent, min_reports, started, reason) "
                        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.Bind(1, r.application).Bind(2, r.version).Bind(3, JoinGroups(r.groups));
    insert.Bind(4, std::int64_t{r.percent}).Bind(5, r.state);
    insert.Bind(6, std::int64_t{r.haltPercent}).Bind(7, std::int64_t{r.minReports});
    insert.Bind(8, r.started).Bind(9, r.reason).Step();
}

std::optional<SQXRollout> CQXSqliteStorage::FindRollout(const std::string& application) {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(),
                        "SELECT version, group_list, percent, state, halt_percent, min_reports, "
                        "started, reason FROM rollouts WHERE application = ?");
    select.Bind(1, application);
    if (!select.Step())
        return std::nullopt;
    return SQXRollout{application,
                      select.Text(0),
                      SplitGroups(select.Text(1)),
                      static_cast<int>(select.Integer(2)),
                      select.Text(3),
                      static_cast<int>(select.Integer(4)),
                      static_cast<int>(select.Integer(5)),
                      select.Integer(6),
                      select.Text(7)};
}

bool CQXSqliteStorage::HaltRollout(const std::string& application, const std::string& reason) {
    auto lock = m_db.Lock();
    CQXStatement update(m_db.Handle(), "UPDATE rollouts SET state = 'halted', reason = ? "
                                       "WHERE application = ? AND state = 'running'");
    update.Bind(1, reason).Bind(2, application).Step();
    return update.Changes() == 1;
}

int CQXSqliteStorage::CountFailure(const std::string& key, std::int64_t now,
                                   std::int64_t forgetAfter) {
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(), "DELETE FROM login_failures WHERE last < ? AND held_until <= ?")
        .Bind(1, now - forgetAfter)
        .Bind(2, now)
        .Step();
    CQXStatement count(m_db.Handle(),
                       "INSERT INTO login_failures (run, failures, last) VALUES (?1, 1, ?2) "
                       "ON CONFLICT (run) DO UPDATE SET failures = CASE WHEN ?2 - last > ?3 "
                       "THEN 1 ELSE failures + 1 END, last = ?2 RETURNING failures");
    count.Bind(1, key).Bind(2, now).Bind(3, forgetAfter).Step();
    return static_cast<int>(count.Integer(0));
}

void CQXSqliteStorage::HoldBack(const std::string& key, std::int64_t until) {
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(),
                 "UPDATE login_failures SET held_until = max(held_until, ?) WHERE run = ?")
        .Bind(1, until)
        .Bind(2, key)
        .Step();
}

std::int64_t CQXSqliteStorage::HeldUntil(const std::string& key, const std::string& other) {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(), "SELECT coalesce(max(held_until), 0) FROM login_failures "
                                       "WHERE run IN (?, ?)");
    select.Bind(1, key).Bind(2, other).Step();
    return select.Integer(0);
}

void CQXSqliteStorage::ForgetFailures(const std::string& key) {
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(), "DELETE FROM login_failures WHERE run = ?").Bind(1, key).Step();
}
