// Cursor over one prepared statement, positioned on its first result row.
#pragma once

#include <QString>

#include <cstdint>

struct sqlite3;
struct sqlite3_stmt;

namespace DATABASE {

class CppSQLite3Query {
public:
    CppSQLite3Query();
    // Takes over a statement; ownsStatement makes the query finalize it.
    CppSQLite3Query(sqlite3* db, sqlite3_stmt* stmt, bool eof, bool ownsStatement = true);
    // Moving hands the statement over; the source then holds none.
    CppSQLite3Query(CppSQLite3Query&& other) noexcept;
    // Finalizes the statement held so far (errors swallowed), then takes over the other's.
    CppSQLite3Query& operator=(CppSQLite3Query&& other) noexcept;
    CppSQLite3Query(const CppSQLite3Query&) = delete;
    CppSQLite3Query& operator=(const CppSQLite3Query&) = delete;
    virtual ~CppSQLite3Query();

    bool IsEof() const { return m_eof; }
    bool HasStatement() const { return m_stmt != nullptr; }

    // Every column operation raises 1000 "Null Virtual Machine pointer" without a
    // statement and 1000 "Invalid field index requested" for an index out of range.
    int NumFields() const;
    // First column whose name equals name exactly; raises "Invalid field name requested".
    int GetFieldIndex(const QString& name) const;
    QString GetFieldName(int col) const;
    // Declared type of the column in the table ("ntext", "int"), empty for expressions.
    QString GetFieldDeclType(int col) const;
    // SQLite's fundamental type in the current row: 1 integer, 2 float, 3 text, 4 blob, 5 NULL.
    int GetFieldType(int col) const;
    bool FieldIsNull(int col) const;

    // NULL reads as 0 / 0.0 / empty text.
    int GetIntField(int col) const;
    int64_t GetInt64Field(int col) const;
    double GetFloatField(int col) const;
    QString GetTextField(int col) const;
    // The column's bytes, valid until the statement is stepped or finalized; null for
    // an empty blob or NULL. byteCount receives their count.
    const unsigned char* GetBlobField(int col, int& byteCount) const;

    // By column name (GetFieldIndex rules).
    int GetIntField(const QString& name) const;
    int64_t GetInt64Field(const QString& name) const;
    QString GetTextField(const QString& name) const;
    const unsigned char* GetBlobField(const QString& name, int& byteCount) const;

    // Steps to the next row; at the end IsEof() turns true. A failing step finalizes
    // the statement and raises with the finalize code and SQLite's message.
    void NextRow();
    // Finalizes an owned statement and forgets it; raises when SQLite reports an error.
    void Finalize();

private:
    void CheckStatement() const;
    void CheckColumn(int col) const;
    void Release() noexcept;

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_eof = true;
    int m_numFields = 0;
    bool m_ownsStatement = false;
};

}  // namespace DATABASE
