#include "QXDatabase.h"

#include <sqlite3.h>

namespace {

const char* const kSchema = R"(
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
    version TEXT NOT NULL DEFAULT '',
    lang TEXT NOT NULL DEFAULT ''
);
CREATE TABLE IF NOT EXISTS updates (
    user TEXT NOT NULL,
    application TEXT NOT NULL,
    version TEXT NOT NULL,
    time INTEGER NOT NULL
);
)";

} // namespace

CQXDatabase::CQXDatabase(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        m_db = nullptr;
        throw CQXDatabaseError("cannot open database " + path + ": " + message);
    }
    sqlite3_busy_timeout(m_db, 5000);
    try {
        Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
        Execute(kSchema);
        AddSessionLanguage();
    } catch (...) {
        sqlite3_close(m_db);
        throw;
    }
}

CQXDatabase::~CQXDatabase() { sqlite3_close(m_db); }

// A database of an older server has sessions without their language: add the column.
void CQXDatabase::AddSessionLanguage() {
    sqlite3_stmt* statement = nullptr;
    const bool missing = sqlite3_prepare_v2(m_db, "SELECT lang FROM sessions LIMIT 0", -1,
                                            &statement, nullptr) != SQLITE_OK;
    sqlite3_finalize(statement);
    if (missing)
        Execute("ALTER TABLE sessions ADD COLUMN lang TEXT NOT NULL DEFAULT ''");
}

void CQXDatabase::Execute(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : sqlite3_errmsg(m_db);
        sqlite3_free(error);
        throw CQXDatabaseError(message);
    }
}
