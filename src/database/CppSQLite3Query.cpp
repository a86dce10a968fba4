#include "database/CppSQLite3Query.h"

#include "common/MessageTable.h"
#include "database/CppSQLite3Exception.h"

#include <sqlite3.h>

namespace DATABASE {

namespace {

QString ErrorText(sqlite3* db)
{
    if (!db)
        return QString();
    return QString::fromUtf16(static_cast<const char16_t*>(sqlite3_errmsg16(db)));
}

}  // namespace

CppSQLite3Query::CppSQLite3Query() = default;

CppSQLite3Query::CppSQLite3Query(sqlite3* db, sqlite3_stmt* stmt, bool eof, bool ownsStatement)
    : m_db(db), m_stmt(stmt), m_eof(eof), m_ownsStatement(ownsStatement)
{
    m_numFields = stmt ? sqlite3_column_count(stmt) : 0;
}

CppSQLite3Query::CppSQLite3Query(CppSQLite3Query&& other) noexcept
{
    *this = std::move(other);
}

CppSQLite3Query& CppSQLite3Query::operator=(CppSQLite3Query&& other) noexcept
{
    if (this == &other)
        return *this;
    Release();
    m_db = other.m_db;
    m_stmt = other.m_stmt;
    m_eof = other.m_eof;
    m_numFields = other.m_numFields;
    m_ownsStatement = other.m_ownsStatement;
    other.m_stmt = nullptr;
    other.m_eof = true;
    other.m_numFields = 0;
    other.m_ownsStatement = false;
    return *this;
}

CppSQLite3Query::~CppSQLite3Query()
{
    Release();
}

void CppSQLite3Query::Release() noexcept
{
    if (m_stmt && m_ownsStatement)
        sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    m_eof = true;
    m_numFields = 0;
}

void CppSQLite3Query::CheckStatement() const
{
    if (!m_stmt)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, GetTextString(TEXT::NullVirtualMachine));
}

void CppSQLite3Query::CheckColumn(int col) const
{
    CheckStatement();
    if (col < 0 || col >= m_numFields)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, GetTextString(TEXT::InvalidFieldIndex));
}

int CppSQLite3Query::NumFields() const
{
    CheckStatement();
    return m_numFields;
}

int CppSQLite3Query::GetFieldIndex(const QString& name) const
{
    CheckStatement();
    for (int i = 0; i < m_numFields; ++i) {
        const void* colName = sqlite3_column_name16(m_stmt, i);
        if (colName && QString::fromUtf16(static_cast<const char16_t*>(colName)) == name)
            return i;
    }
    throw CppSQLite3Exception(CPPSQLITE_ERROR, GetTextString(TEXT::InvalidFieldName));
}

QString CppSQLite3Query::GetFieldName(int col) const
{
    CheckColumn(col);
    const void* name = sqlite3_column_name16(m_stmt, col);
    return name ? QString::fromUtf16(static_cast<const char16_t*>(name)) : QString();
}

QString CppSQLite3Query::GetFieldDeclType(int col) const
{
    CheckColumn(col);
    const void* type = sqlite3_column_decltype16(m_stmt, col);
    return type ? QString::fromUtf16(static_cast<const char16_t*>(type)) : QString();
}

int CppSQLite3Query::GetFieldType(int col) const
{
    CheckColumn(col);
    return sqlite3_column_type(m_stmt, col);
}

bool CppSQLite3Query::FieldIsNull(int col) const
{
    return GetFieldType(col) == SQLITE_NULL;
}

int CppSQLite3Query::GetIntField(int col) const
{
    CheckColumn(col);
    return sqlite3_column_int(m_stmt, col);
}

int64_t CppSQLite3Query::GetInt64Field(int col) const
{
    CheckColumn(col);
    return sqlite3_column_int64(m_stmt, col);
}

double CppSQLite3Query::GetFloatField(int col) const
{
    CheckColumn(col);
    return sqlite3_column_double(m_stmt, col);
}

QString CppSQLite3Query::GetTextField(int col) const
{
    CheckColumn(col);
    const void* text = sqlite3_column_text16(m_stmt, col);
    if (!text)
        return QString();
    // Byte count, not characters: the text may hold U+0000.
    const int bytes = sqlite3_column_bytes16(m_stmt, col);
    return QString::fromUtf16(static_cast<const char16_t*>(text), bytes / 2);
}

const unsigned char* CppSQLite3Query::GetBlobField(int col, int& byteCount) const
{
    CheckColumn(col);
    const auto* data = static_cast<const unsigned char*>(sqlite3_column_blob(m_stmt, col));
    byteCount = sqlite3_column_bytes(m_stmt, col);
    return data;
}

int CppSQLite3Query::GetIntField(const QString& name) const
{
    return GetIntField(GetFieldIndex(name));
}

int64_t CppSQLite3Query::GetInt64Field(const QString& name) const
{
    return GetInt64Field(GetFieldIndex(name));
}

QString CppSQLite3Query::GetTextField(const QString& name) const
{
    return GetTextField(GetFieldIndex(name));
}

const unsigned char* CppSQLite3Query::GetBlobField(const QString& name, int& byteCount) const
{
    return GetBlobField(GetFieldIndex(name), byteCount);
}

void CppSQLite3Query::NextRow()
{
    CheckStatement();
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_DONE) {
        m_eof = true;
    } else if (rc == SQLITE_ROW) {
        m_eof = false;
    } else {
        const int code = m_ownsStatement ? sqlite3_finalize(m_stmt) : sqlite3_reset(m_stmt);
        const QString message = ErrorText(m_db);
        m_stmt = nullptr;
        m_eof = true;
        m_numFields = 0;
        throw CppSQLite3Exception(code, message);
    }
}

void CppSQLite3Query::Finalize()
{
    if (m_stmt && m_ownsStatement) {
        const int rc = sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        m_eof = true;
        m_numFields = 0;
        if (rc != SQLITE_OK)
            throw CppSQLite3Exception(rc, ErrorText(m_db));
    }
    m_stmt = nullptr;
}

}  // namespace DATABASE
