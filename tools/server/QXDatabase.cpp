#include "QXDatabase.h"

#include <sqlite3.h>

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
    } catch (...) {
        sqlite3_close(m_db);
        throw;
    }
}

CQXDatabase::~CQXDatabase() { sqlite3_close(m_db); }

void CQXDatabase::Execute(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : sqlite3_errmsg(m_db);
        sqlite3_free(error);
        throw CQXDatabaseError(message);
    }
}
