#pragma once

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// A prepared statement, finalized on destruction. Parameters are numbered from 1, columns
// from 0. Failures throw CQXDatabaseError.
class CQXStatement {
public:
    CQXStatement(sqlite3* db, const std::string& sql);
    ~CQXStatement();
    CQXStatement(const CQXStatement&) = delete;
    CQXStatement& operator=(const CQXStatement&) = delete;

    CQXStatement& Bind(int index, const std::string& text);
    CQXStatement& Bind(int index, std::int64_t value);
    CQXStatement& BindBlob(int index, const std::string& bytes);
    CQXStatement& BindNull(int index);
    // Moves to the next result row; false when done.
    bool Step();
    std::string Text(int column) const;
    std::int64_t Integer(int column) const;
    // Rows changed by the last insert, update or delete of the connection.
    int Changes() const;

private:
    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
};
