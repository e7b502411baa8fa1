#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// The longest a request waits for the database by default, at each step.
constexpr std::chrono::milliseconds kQXDatabaseTimeout{5000};

// Thrown for a database that cannot be opened or reached, or a statement that fails.
class CQXDatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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
    // The groups given to the user on this server (not the directory's).
    std::vector<std::string> groups;
};

// A user as stored: the public part and the derived secrets (the passcode a NextPasscode
// exchange expects in nextSalt/nextHash).
struct SQXUserRecord {
    SQXUserInfo info;
    std::string salt, hash, nextSalt, nextHash;
    int iterations = 0;
};

struct SQXSession {
    std::string id;
    std::string user;
    // The application and version the session last asked about (for AppUpdateDone).
    std::string application;
    std::string version;
    // The "lang" of the login: a later request without one is answered in its code page.
    std::string lang;
};

// One update report: a finished one as AppUpdateDone recorded it, or a failed one from
// AppUpdateFailed (version is the one it went to).
struct SQXUpdateRecord {
    std::int64_t time = 0;
    std::string user;
    std::string application;
    std::string version;
    bool failed = false;
    std::string fromVersion;
    // download, verify, signature, install or restart; empty for a finished update.
    std::string stage;
    std::string reason;
    // Seconds the update took; -1 when the launcher did not tell.
    std::int64_t duration = -1;
};

// The reports of one version: finished and failed updates.
struct SQXReportCounts {
    std::int64_t done = 0;
    std::int64_t failed = 0;
};

// A staged release of one application: its audience (members of groups, or users whose bucket
// is below percent) gets version instead of the application's own.
struct SQXRollout {
    std::string application;
    std::string version;
    std::vector<std::string> groups;
    int percent = 0;
    // "running", "halted" or "finished".
    std::string state;
    // Halts by itself when failures reach haltPercent % of at least minReports reports of
    // version since started; never when haltPercent is 0.
    int haltPercent = 0;
    int minReports = 0;
    std::int64_t started = 0;
    // Why it halted; empty when it did not halt or an administrator halted it.
    std::string reason;
};

// An administrator of the console, apart from the users who log in through launchers.
struct SQXAdminRecord {
    std::string name;
    std::string salt, hash;
    int iterations = 0;
    std::int64_t created = 0;
};

// A console login: the administrator, the token every change must carry, and the expiry. id
// is what the storage keeps of the cookie's value (a digest, never the value itself).
struct SQXAdminSession {
    std::string id;
    std::string admin;
    std::string csrf;
    std::int64_t expires = 0;
};

// One change made by an administrator, as the audit keeps it.
struct SQXAuditEntry {
    std::int64_t time = 0;
    std::string admin;
    std::string action;
    std::string detail;
};

// Where users, sessions and update reports are kept: one SQLite file for a single server, or
// a PostgreSQL database that several servers share. User names compare without case (ASCII).
// Every call is one transaction and may come from any thread; failures throw
// CQXDatabaseError. Times are seconds since the epoch on the caller's clock.
class IQXStorage {
public:
    virtual ~IQXStorage() = default;

    // False when the name is taken.
    virtual bool AddUser(const SQXUserRecord& user) = 0;
    virtual std::optional<SQXUserRecord> FindUser(const std::string& name) = 0;
    // Sorted by name, case ignored.
    virtual std::vector<SQXUserInfo> ListUsers() = 0;
    // Removes the user and their sessions; false when there was no such user.
    virtual bool RemoveUser(const std::string& name) = 0;
    // Stores a new password secret set at changedAt and ends the user's sessions, at once.
    virtual void ReplaceSecret(const std::string& name, const std::string& salt,
                               const std::string& hash, int iterations, std::int64_t changedAt) = 0;
    virtual void SetPasswordChanged(const std::string& name, std::int64_t changedAt) = 0;
    virtual void SetTokenState(const std::string& name, EQXTokenState state) = 0;
    // Replaces the user's stored groups; false when there is no such user.
    virtual bool SetUserGroups(const std::string& name, const std::vector<std::string>& groups) = 0;
    // The groups a directory gave the user at their last login (empty when none did).
    virtual void SetDirectoryGroups(const std::string& name,
                                    const std::vector<std::string>& groups) = 0;
    virtual std::vector<std::string> DirectoryGroups(const std::string& name) = 0;

    // Stores a new session and purges those expired by now.
    virtual void OpenSession(const SQXSession& session, std::int64_t expires, std::int64_t now) = 0;
    // The session if it is live at now, with its expiry.
    virtual std::optional<std::pair<SQXSession, std::int64_t>> FindSession(const std::string& id,
                                                                           std::int64_t now) = 0;
    virtual void SetSessionExpiry(const std::string& id, std::int64_t expires) = 0;
    virtual void SetSessionWork(const std::string& id, const std::string& application,
                                const std::string& version) = 0;
    // Ends the session; false when it was not live at now.
    virtual bool CloseSession(const std::string& id, std::int64_t now) = 0;
    // Every session live at now with its expiry, by user name (case ignored), then expiry.
    virtual std::vector<std::pair<SQXSession, std::int64_t>> ListSessions(std::int64_t now) = 0;

    virtual void AddUpdate(const SQXUpdateRecord& record) = 0;
    // Oldest first.
    virtual std::vector<SQXUpdateRecord> Updates() = 0;
    // The reports of the application's version made at since or later.
    virtual SQXReportCounts CountReports(const std::string& application, const std::string& version,
                                         std::int64_t since) = 0;

    // Stores the application's rollout, replacing any earlier one.
    virtual void PutRollout(const SQXRollout& rollout) = 0;
    virtual std::optional<SQXRollout> FindRollout(const std::string& application) = 0;
    // Halts the application's running rollout for reason; false when none was running (so
    // that of servers halting it at once, one alone reports it).
    virtual bool HaltRollout(const std::string& application, const std::string& reason) = 0;
    // Stores a change to the application's rollout made from what was read while it was in
    // state since started; false, storing nothing, when another change (a halt on failures)
    // came first.
    virtual bool ReplaceRollout(const SQXRollout& rollout, const std::string& state,
                                std::int64_t started) = 0;
    // Every application's rollout, by application.
    virtual std::vector<SQXRollout> ListRollouts() = 0;

    // False when the name is taken (case ignored).
    virtual bool AddAdmin(const SQXAdminRecord& admin) = 0;
    virtual std::optional<SQXAdminRecord> FindAdmin(const std::string& name) = 0;
    // Names sorted, case ignored.
    virtual std::vector<std::string> ListAdmins() = 0;
    // Removes the administrator and their console sessions; false when there was none.
    virtual bool RemoveAdmin(const std::string& name) = 0;
    // Stores a console session and purges those expired by now.
    virtual void OpenAdminSession(const SQXAdminSession& session, std::int64_t now) = 0;
    // The session if it is live at now and its administrator still exists.
    virtual std::optional<SQXAdminSession> FindAdminSession(const std::string& id,
                                                            std::int64_t now) = 0;
    virtual void CloseAdminSession(const std::string& id) = 0;
    virtual void AddAudit(const SQXAuditEntry& entry) = 0;
    // Oldest first.
    virtual std::vector<SQXAuditEntry> Audit() = 0;

    // The login back-off's runs of wrong passwords, by key, shared by every server on the
    // storage. Counts a failure at now and returns the run's failures, this one included; a
    // run whose last failure is more than forgetAfter seconds before now starts again. Runs
    // forgotten by now and no longer held back are dropped.
    virtual int CountFailure(const std::string& key, std::int64_t now,
                             std::int64_t forgetAfter) = 0;
    // Holds the key's run back until `until` (a later hold stands).
    virtual void HoldBack(const std::string& key, std::int64_t until) = 0;
    // The later hold of the two keys' runs; 0 when neither has one.
    virtual std::int64_t HeldUntil(const std::string& key, const std::string& other) = 0;
    virtual void ForgetFailures(const std::string& key) = 0;
};

// Opens the storage a --db value names: "postgresql://..." or "postgres://..." (a libpq
// connection URI) for PostgreSQL, anything else as the path of a SQLite file. The schema is
// brought to the current version first. On PostgreSQL, timeout bounds every wait for the
// database (a statement, a lock, a free connection). Throws CQXDatabaseError.
std::unique_ptr<IQXStorage> OpenStorage(const std::string& location,
                                        std::chrono::milliseconds timeout = kQXDatabaseTimeout);

// The stored names of kinds and token states, the same on every engine.
const char* UserKindName(EQXUserKind kind);
EQXUserKind UserKindOf(const std::string& name);
const char* TokenStateName(EQXTokenState state);
EQXTokenState TokenStateOf(const std::string& name);
// Groups as stored: one comma-separated text; blanks around names and empty names dropped
// (an item of JoinGroups may itself hold several, comma-separated).
std::string JoinGroups(const std::vector<std::string>& groups);
std::vector<std::string> SplitGroups(const std::string& text);
// The key under which a user's directory groups are kept: the name in ASCII lower case.
std::string UserKey(const std::string& name);
