#include "QXPgPool.h"

#include <libpq-fe.h>
#include <unordered_map>

#include "QXStorage.h"

namespace {

// A connection that cannot be reached within this many seconds counts as failed.
const char* const kConnectTimeout = "5";

std::string Trimmed(const char* message) {
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? std::string("unknown PostgreSQL error") : text;
}

// Notices ("relation already exists, skipping") are no news to the server's operator.
void IgnoreNotice(void*, const char*) {}

bool Succeeded(PGresult* result) {
    const ExecStatusType status = PQresultStatus(result);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

} // namespace

struct CQXPgPool::Connection {
    PGconn* handle = nullptr;
    // Statement text to the name it was prepared under on this connection.
    std::unordered_map<std::string, std::string> prepared;

    ~Connection() { PQfinish(handle); }
    bool Broken() const { return PQstatus(handle) != CONNECTION_OK; }
};

CQXPgResult::~CQXPgResult() { PQclear(m_result); }

int CQXPgResult::Rows() const { return PQntuples(m_result); }

int CQXPgResult::Changed() const {
    const char* count = PQcmdTuples(m_result);
    return count && *count ? std::atoi(count) : 0;
}

std::string CQXPgResult::Text(int row, int column) const {
    if (PQgetisnull(m_result, row, column))
        return std::string();
    return std::string(PQgetvalue(m_result, row, column),
                       static_cast<std::size_t>(PQgetlength(m_result, row, column)));
}

std::int64_t CQXPgResult::Integer(int row, int column) const {
    if (PQgetisnull(m_result, row, column))
        return 0;
    // Binary results are big-endian: int4 or int8.
    const auto* bytes = reinterpret_cast<const unsigned char*>(PQgetvalue(m_result, row, column));
    const int length = PQgetlength(m_result, row, column);
    std::uint64_t value = 0;
    for (int i = 0; i < length; ++i)
        value = (value << 8) | bytes[i];
    if (length == 4)
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    return static_cast<std::int64_t>(value);
}

CQXPgPool::CQXPgPool(const std::string& uri, std::size_t size, std::chrono::milliseconds timeout)
    : m_uri(uri), m_size(size), m_timeout(timeout) {
    Release(Acquire());
}

CQXPgPool::~CQXPgPool() = default;

std::unique_ptr<CQXPgPool::Connection> CQXPgPool::Connect() {
    const char* keywords[] = {"connect_timeout", "dbname", nullptr};
    const char* values[] = {kConnectTimeout, m_uri.c_str(), nullptr};
    auto connection = std::make_unique<Connection>();
    connection->handle = PQconnectdbParams(keywords, values, 1);
    if (!connection->handle)
        throw CQXDatabaseError("PostgreSQL: out of memory");
    if (connection->Broken())
        throw CQXDatabaseError("cannot connect to PostgreSQL: " +
                               Trimmed(PQerrorMessage(connection->handle)));
    PQsetNoticeProcessor(connection->handle, IgnoreNotice, nullptr);
    // Set on the session rather than in the URI's options, which the operator may use.
    const std::string limit = std::to_string(m_timeout.count());
    PGresult* set =
        PQexec(connection->handle,
               ("SET statement_timeout = " + limit + "; SET lock_timeout = " + limit).c_str());
    const bool limited = Succeeded(set);
    PQclear(set);
    if (!limited)
        throw CQXDatabaseError("PostgreSQL: cannot set time-outs: " +
                               Trimmed(PQerrorMessage(connection->handle)));
    return connection;
}

std::unique_ptr<CQXPgPool::Connection> CQXPgPool::Acquire() {
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_released.wait_for(lock, m_timeout,
                                 [this] { return !m_idle.empty() || m_open < m_size; }))
            throw CQXDatabaseError("PostgreSQL: no connection came free within " +
                                   std::to_string(m_timeout.count()) + " ms");
        if (!m_idle.empty()) {
            auto connection = std::move(m_idle.back());
            m_idle.pop_back();
            return connection;
        }
        ++m_open;
    }
    try {
        return Connect();
    } catch (...) {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_open;
        m_released.notify_one();
        throw;
    }
}

void CQXPgPool::Release(std::unique_ptr<Connection> connection) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (connection && !connection->Broken())
        m_idle.push_back(std::move(connection));
    else
        --m_open;
    m_released.notify_one();
}

CQXPgResult CQXPgPool::Run(const std::string& sql, const std::vector<SQXPgParam>& params) {
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
    for (const auto& param : params) {
        values.push_back(param.null ? nullptr : param.value.data());
        lengths.push_back(static_cast<int>(param.value.size()));
        formats.push_back(param.binary ? 1 : 0);
    }
    const int count = static_cast<int>(params.size());
    // A pooled connection may have died with the server it knew: then once more, afresh.
    for (int attempt = 0;; ++attempt) {
        auto connection = Acquire();
        PGconn* handle = connection->handle;
        auto& name = connection->prepared[sql];
        if (name.empty()) {
            const std::string candidate = "s" + std::to_string(connection->prepared.size());
            PGresult* prepared = PQprepare(handle, candidate.c_str(), sql.c_str(), count, nullptr);
            const bool ok = Succeeded(prepared);
            PQclear(prepared);
            if (ok)
                name = candidate;
        }
        PGresult* result = name.empty() ? nullptr
                                        : PQexecPrepared(handle, name.c_str(), count, values.data(),
                                                         lengths.data(), formats.data(), 1);
        if (result && Succeeded(result)) {
            Release(std::move(connection));
            return CQXPgResult(result);
        }
        PQclear(result);
        const std::string message = Trimmed(PQerrorMessage(handle));
        const bool broken = connection->Broken();
        if (name.empty())
            connection->prepared.erase(sql);
        Release(std::move(connection));
        if (!broken || attempt > 0)
            throw CQXDatabaseError("PostgreSQL: " + message);
    }
}

void CQXPgPool::Transaction(const std::function<void(const Script& run)>& body) {
    auto connection = Acquire();
    PGconn* handle = connection->handle;
    const Script run = [handle](const std::string& sql) {
        PGresult* result = PQexec(handle, sql.c_str());
        if (!Succeeded(result)) {
            PQclear(result);
            throw CQXDatabaseError("PostgreSQL: " + Trimmed(PQerrorMessage(handle)));
        }
        return CQXPgResult(result);
    };
    try {
        run("BEGIN");
        body(run);
        run("COMMIT");
    } catch (...) {
        // Closing the connection rolls back whatever it had begun.
        connection.reset();
        Release(nullptr);
        throw;
    }
    Release(std::move(connection));
}
