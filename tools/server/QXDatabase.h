#pragma once

#include <mutex>
#include <stdexcept>
#include <string>

struct sqlite3;

// Thrown for a database that cannot be opened or a statement that fails.
class CQXDatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One SQLite connection (WAL journal, so the command-line tools can write while the server
// runs). Callers take Lock() around each use: the connection is shared by all request threads.
class CQXDatabase {
public:
    // Opens or creates the file and its tables; throws CQXDatabaseError.
    explicit CQXDatabase(const std::string& path);
    ~CQXDatabase();
    CQXDatabase(const CQXDatabase&) = delete;
    CQXDatabase& operator=(const CQXDatabase&) = delete;

    sqlite3* Handle() const { return m_db; }
    std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(m_mutex); }
    // Runs statements without results; throws CQXDatabaseError.
    void Execute(const std::string& sql);

private:
    // Brings the sessions of an older server's database up to this schema.
    void AddSessionLanguage();

    sqlite3* m_db = nullptr;
    std::mutex m_mutex;
};
