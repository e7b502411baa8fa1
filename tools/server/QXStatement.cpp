#include "QXStatement.h"

#include <sqlite3.h>

#include "QXDatabase.h"

CQXStatement::CQXStatement(sqlite3* db, const std::string& sql) : m_db(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &m_statement, nullptr) != SQLITE_OK)
        throw CQXDatabaseError(sqlite3_errmsg(db));
}

CQXStatement::~CQXStatement() { sqlite3_finalize(m_statement); }

CQXStatement& CQXStatement::Bind(int index, const std::string& text) {
    sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

CQXStatement& CQXStatement::Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(m_statement, index, value);
    return *this;
}

CQXStatement& CQXStatement::BindBlob(int index, const std::string& bytes) {
    sqlite3_bind_blob(m_statement, index, bytes.data(), static_cast<int>(bytes.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

CQXStatement& CQXStatement::BindNull(int index) {
    sqlite3_bind_null(m_statement, index);
    return *this;
}

bool CQXStatement::Step() {
    const int result = sqlite3_step(m_statement);
    if (result == SQLITE_ROW)
        return true;
    if (result == SQLITE_DONE)
        return false;
    throw CQXDatabaseError(sqlite3_errmsg(m_db));
}

std::string CQXStatement::Text(int column) const {
    const void* data = sqlite3_column_blob(m_statement, column);
    const int size = sqlite3_column_bytes(m_statement, column);
    return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                : std::string();
}

std::int64_t CQXStatement::Integer(int column) const {
    return sqlite3_column_int64(m_statement, column);
}

int CQXStatement::Changes() const { return sqlite3_changes(m_db); }
