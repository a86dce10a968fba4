#include "database/SQLiteDBBase.h"

#include "common/FileHelpers.h"

#include <QFileInfo>

namespace DATABASE {

namespace {
constexpr int kBusyTimeoutMs = 60000;
}

CSQLiteDBBase::CSQLiteDBBase()
{
    m_db.SetBusyTimeout(kBusyTimeoutMs);
}

CSQLiteDBBase::~CSQLiteDBBase()
{
    // Not virtual dispatch from here; a refusal leaves the handle for m_db's destructor.
    CSQLiteDBBase::Close();
}

bool CSQLiteDBBase::CreateDatabase()
{
    // The path ends in the file name, so only the folders above it are created.
    CreateDirectoryTree(m_path);
    try {
        m_db.Open(m_path, false);
        m_db.Execute(QStringLiteral(" BEGIN TRANSACTION;"));
        CreateTables();
        m_db.Execute(QStringLiteral("COMMIT TRANSACTION;"));
        m_db.Close();
        return true;
    } catch (const CppSQLite3Exception& e) {
        // Closing abandons the open transaction.
        m_lastError = e.ErrorMessage();
        m_db.Close();
        return false;
    }
}

bool CSQLiteDBBase::Open(const QString& path)
{
    m_lastError.clear();
    if (!path.isNull())
        m_path = path;
    try {
        if (!FileExists(m_path))
            CreateDatabase();
        if (QFileInfo::exists(m_path) && m_db.Open(m_path, false))
            return true;
        CreateDatabase();
        return m_db.Open(m_path, true);
    } catch (const CppSQLite3Exception& e) {
        m_lastError = e.ErrorMessage();
        m_db.Close();
        return false;
    }
}

bool CSQLiteDBBase::OpenMemory()
{
    m_lastError.clear();
    return m_db.Open(QStringLiteral(":memory:"), false);
}

bool CSQLiteDBBase::OpenWithFlags(int flags, const QString& path)
{
    m_lastError.clear();
    if (!path.isNull())
        m_path = path;
    try {
        return m_db.OpenWithFlags(m_path, flags);
    } catch (const CppSQLite3Exception& e) {
        m_lastError = e.ErrorMessage();
        m_db.Close();
        return false;
    }
}

bool CSQLiteDBBase::Close()
{
    m_lastError.clear();
    try {
        m_db.CloseChecked();
        return true;
    } catch (const CppSQLite3Exception& e) {
        m_lastError = e.ErrorMessage();
        return false;
    }
}

void CSQLiteDBBase::Notify(int, void*) {}

int CSQLiteDBBase::CreateTables()
{
    try {
        return m_db.Execute(
            QStringLiteral("create table config(ID ntext PRIMARY KEY, strValue ntext, intValue int);"));
    } catch (const CppSQLite3Exception& e) {
        m_lastError = e.ErrorMessage();
        return 1;
    }
}

bool CSQLiteDBBase::Query(const QString& sql, CppSQLite3Query& query, const SqlParams& params)
{
    try {
        query = m_db.ExecuteQuery(sql, params);
        return true;
    } catch (const CppSQLite3Exception& e) {
        m_lastError = e.ErrorMessage();
        return false;
    }
}

int CSQLiteDBBase::Exec(const QString& sql, const SqlParams& params)
{
    m_lastError.clear();
    try {
        return m_db.Execute(sql, params);
    } catch (const CppSQLite3Exception& e) {
        m_lastError = e.ErrorMessage();
        return 1;
    }
}

int CSQLiteDBBase::ExecScalar(const QString& sql, int& value, const SqlParams& params)
{
    m_lastError.clear();
    try {
        value = m_db.ExecuteScalar(sql, params);
        return 0;
    } catch (const CppSQLite3Exception& e) {
        m_lastError = e.ErrorMessage();
        return 1;
    }
}

bool CSQLiteDBBase::ConfigTableExists()
{
    int count = 0;
    const int rc =
        ExecScalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master where type='table' and name=?;"), count,
                   {QStringLiteral("config")});
    return rc == 0 && count > 0;
}

}  // namespace DATABASE
