// One SQLite connection with a busy timeout. Statements go through SQLite's
// UTF-16 interfaces; errors raise CppSQLite3Exception.
#pragma once

#include "database/CppSQLite3Query.h"

#include <QString>
#include <QVariant>
#include <QVariantList>

struct sqlite3;
struct sqlite3_stmt;

namespace DATABASE {

// Values for the '?' placeholders of a statement, in order. A QString is bound as
// UTF-16 text, an integer type as an integer, a double as a float, a QByteArray as
// a blob and a null QVariant as NULL. Values are never pasted into the SQL text.
using SqlParams = QVariantList;

class CppSQLite3DB {
public:
    CppSQLite3DB();
    CppSQLite3DB(const CppSQLite3DB&) = delete;
    CppSQLite3DB& operator=(const CppSQLite3DB&) = delete;
    // Closes an open connection, ignoring errors.
    virtual ~CppSQLite3DB();

    // With mustExist and nothing at the path: false without opening. Otherwise the
    // UTF-16 open, which creates a missing file.
    bool Open(const QString& path, bool mustExist);
    // sqlite3_open_v2 with these flags (SQLITE_OPEN_READONLY = 1 ...), through the
    // named VFS (null: the default one).
    bool OpenWithFlags(const QString& path, int flags, const char* vfs = nullptr);
    // Closes the connection if there is one, ignores a refusal, forgets the handle.
    void Close();
    // Closes the connection; when SQLite refuses (unfinalized statements) raises with
    // its code and message and keeps the handle.
    void CloseChecked();
    bool IsOpen() const { return m_db != nullptr; }
    sqlite3* Handle() const { return m_db; }

    // Applied now when open and to every later connection.
    void SetBusyTimeout(int milliseconds);
    int BusyTimeout() const { return m_busyTimeoutMs; }

    // Runs the first statement of the text; the statement's result code (0 on success).
    int Execute(const QString& sql, const SqlParams& params = SqlParams());
    // The query on its first row, or at end.
    CppSQLite3Query ExecuteQuery(const QString& sql, const SqlParams& params = SqlParams());
    // First column of the first row as a decimal integer (leading digits of its text;
    // 0 for NULL or no digits). Raises "Invalid scalar query" when there is no row.
    int ExecuteScalar(const QString& sql, const SqlParams& params = SqlParams());

private:
    void CheckDB() const;
    sqlite3_stmt* Compile(const QString& sql, const SqlParams& params);
    bool Adopt(int rc, sqlite3* db);
    void ApplyBusyTimeout();
    QString LastErrorText() const;

    sqlite3* m_db = nullptr;
    int m_busyTimeoutMs = 60000;
};

}  // namespace DATABASE
