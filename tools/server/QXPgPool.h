#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

// One value handed to a statement: text (numbers as their decimal text), bytes, or NULL.
struct SQXPgParam {
    std::string value;
    bool binary = false;
    bool null = false;

    static SQXPgParam Text(const std::string& text) { return {text, false, false}; }
    static SQXPgParam Number(std::int64_t number) { return {std::to_string(number), false, false}; }
    static SQXPgParam Bytes(const std::string& bytes) { return {bytes, true, false}; }
};

// A statement's result in binary form, cleared on destruction. Rows and columns from 0.
class CQXPgResult {
public:
    explicit CQXPgResult(pg_result* result) : m_result(result) {}
    ~CQXPgResult();
    CQXPgResult(CQXPgResult&& other) noexcept : m_result(other.m_result) {
        other.m_result = nullptr;
    }
    CQXPgResult(const CQXPgResult&) = delete;
    CQXPgResult& operator=(const CQXPgResult&) = delete;

    int Rows() const;
    // Rows an INSERT, UPDATE or DELETE changed.
    int Changed() const;
    // A text or bytea value as its bytes; empty for NULL.
    std::string Text(int row, int column) const;
    // An integer or bigint column.
    std::int64_t Integer(int row, int column) const;

private:
    pg_result* m_result;
};

// Connections to one PostgreSQL database shared by the request threads: at most `size` open
// at once, each statement prepared once per connection. A connection found broken is dropped
// and the statement tried once more on a new one, so that the pool recovers by itself once
// the database is back. No request waits for the database without end: a statement, a lock
// it waits for, and the wait for a free connection are each given up after `timeout`.
// Failures throw CQXDatabaseError with the reason.
class CQXPgPool {
public:
    // Connects once to check the location; throws CQXDatabaseError.
    CQXPgPool(const std::string& uri, std::size_t size, std::chrono::milliseconds timeout);
    ~CQXPgPool();
    CQXPgPool(const CQXPgPool&) = delete;
    CQXPgPool& operator=(const CQXPgPool&) = delete;

    // Runs one statement (parameters $1...) as a transaction of its own.
    CQXPgResult Run(const std::string& sql, const std::vector<SQXPgParam>& params = {});
    // Runs body inside BEGIN ... COMMIT on one connection; body runs SQL (several statements
    // allowed, no parameters, results as text) through the function it is handed. When body
    // throws, the transaction is rolled back and the connection dropped.
    using Script = std::function<CQXPgResult(const std::string& sql)>;
    void Transaction(const std::function<void(const Script& run)>& body);

private:
    struct Connection;
    std::unique_ptr<Connection> Acquire();
    void Release(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> Connect();

    std::string m_uri;
    std::size_t m_size;
    std::chrono::milliseconds m_timeout;
    std::size_t m_open = 0;
    std::vector<std::unique_ptr<Connection>> m_idle;
    std::mutex m_mutex;
    std::condition_variable m_released;
};
