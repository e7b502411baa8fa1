#pragma once

#include "QXPgPool.h"
#include "QXStorage.h"

// The storage several servers share: a PostgreSQL database, reached through libpq with a
// connection URI. Its schema is versioned in the schema_version table; servers starting at
// the same time take turns to bring it up to date. Each call is a single statement, so that
// what belongs together (a new secret and the end of the user's sessions) commits at once.
class CQXPostgresStorage : public IQXStorage {
public:
    // Connects and applies the migrations the database lacks; throws CQXDatabaseError.
    // timeout bounds each statement, lock wait and wait for a pooled connection (CQXPgPool).
    CQXPostgresStorage(const std::string& uri, std::chrono::milliseconds timeout);

    bool AddUser(const SQXUserRecord& user) override;
    std::optional<SQXUserRecord> FindUser(const std::string& name) override;
    std::vector<SQXUserInfo> ListUsers() override;
    bool RemoveUser(const std::string& name) override;
    void ReplaceSecret(const std::string& name, const std::string& salt, const std::string& hash,
                       int iterations, std::int64_t changedAt) override;
    void SetPasswordChanged(const std::string& name, std::int64_t changedAt) override;
    void SetTokenState(const std::string& name, EQXTokenState state) override;
    bool SetUserGroups(const std::string& name, const std::vector<std::string>& groups) override;
    void SetDirectoryGroups(const std::string& name,
                            const std::vector<std::string>& groups) override;
    std::vector<std::string> DirectoryGroups(const std::string& name) override;

    void OpenSession(const SQXSession& session, std::int64_t expires, std::int64_t now) override;
    std::optional<std::pair<SQXSession, std::int64_t>> FindSession(const std::string& id,
                                                                   std::int64_t now) override;
    void SetSessionExpiry(const std::string& id, std::int64_t expires) override;
    void SetSessionWork(const std::string& id, const std::string& application,
                        const std::string& version) override;
    bool CloseSession(const std::string& id, std::int64_t now) override;

    void AddUpdate(const SQXUpdateRecord& record) override;
    std::vector<SQXUpdateRecord> Updates() override;
    SQXReportCounts CountReports(const std::string& application, const std::string& version,
                                 std::int64_t since) override;

    void PutRollout(const SQXRollout& rollout) override;
    std::optional<SQXRollout> FindRollout(const std::string& application) override;
    bool HaltRollout(const std::string& application, const std::string& reason) override;

    std::vector<std::pair<SQXSession, std::int64_t>> ListSessions(std::int64_t now) override;
    bool ReplaceRollout(const SQXRollout& rollout, const std::string& state,
                        std::int64_t started) override;
    std::vector<SQXRollout> ListRollouts() override;
    bool AddAdmin(const SQXAdminRecord& admin) override;
    std::optional<SQXAdminRecord> FindAdmin(const std::string& name) override;
    std::vector<std::string> ListAdmins() override;
    bool RemoveAdmin(const std::string& name) override;
    void OpenAdminSession(const SQXAdminSession& session, std::int64_t now) override;
    std::optional<SQXAdminSession> FindAdminSession(const std::string& id,
                                                    std::int64_t now) override;
    void CloseAdminSession(const std::string& id) override;
    void AddAudit(const SQXAuditEntry& entry) override;
    std::vector<SQXAuditEntry> Audit() override;

    int CountFailure(const std::string& key, std::int64_t now, std::int64_t forgetAfter) override;
    void HoldBack(const std::string& key, std::int64_t until) override;
    std::int64_t HeldUntil(const std::string& key, const std::string& other) override;
    void ForgetFailures(const std::string& key) override;

private:
    void Migrate();

    CQXPgPool m_pool;
};
