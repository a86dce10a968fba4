// A database file bound to a path. Creates the file with its tables on first use,
// opens and closes the connection around each piece of work, and catches every
// CppSQLite3Exception itself: results are bool/int plus a last-error text.
#pragma once

#include "database/CppSQLite3DB.h"
#include "database/CppSQLite3Exception.h"
#include "database/CppSQLite3Query.h"

#include <QString>

#include <vector>

namespace DATABASE {
class CTYFieldTable;
class CTYDataTable;
}  // namespace DATABASE
namespace PROVIDER {
class CSqlProcHelperParam;
}  // namespace PROVIDER
struct SqlProcStatus;

namespace DATABASE {

class CSQLiteDBBase {
public:
    CSQLiteDBBase();
    CSQLiteDBBase(const CSQLiteDBBase&) = delete;
    CSQLiteDBBase& operator=(const CSQLiteDBBase&) = delete;

    // Virtual operations in the order the design lists them.
    virtual ~CSQLiteDBBase();
    // Creates the folders and the file with CreateTables in one transaction; ends closed.
    virtual bool CreateDatabase();
    // A null path keeps the current one. A missing file is created first.
    virtual bool Open(const QString& path = QString());
    virtual bool OpenMemory();
    virtual bool OpenWithFlags(int flags, const QString& path = QString());
    // False (last error set, connection kept) while a statement is unfinalized.
    virtual bool Close();
    virtual bool ExecProc(const QString& procName, const std::vector<PROVIDER::CSqlProcHelperParam>& params,
                          CTYFieldTable& table, SqlProcStatus* status = nullptr);
    virtual bool ExecProc(const QString& procName, const std::vector<PROVIDER::CSqlProcHelperParam>& params,
                          CTYDataTable& table, SqlProcStatus* status = nullptr);
    virtual bool ExecProc(const QString& procName, const std::vector<PROVIDER::CSqlProcHelperParam>& params,
                          SqlProcStatus* status = nullptr);
    // Rows loaded; 0 when the database does not open; -1 when loading failed.
    virtual int QueryTable(const QString& sql, CTYFieldTable& table);
    virtual bool GetConfig(const QString& id, int& intValue, QString& strValue);
    virtual bool GetConfigInt(const QString& id, int& intValue);
    virtual bool GetConfigString(const QString& id, QString& strValue);
    virtual bool SetConfig(const QString& id, int intValue, const QString& strValue);
    virtual bool SetConfigInt(const QString& id, int intValue);
    virtual bool SetConfigString(const QString& id, const QString& strValue);
    // Extension point for derived classes; does nothing here.
    virtual void Notify(int code, void* data);
    // Creates the config table: 0, or 1 with the message in the last error. Never raises.
    virtual int CreateTables();

    // Runs the statement; the query object then holds it on its first row. Does not
    // clear the last error first.
    bool Query(const QString& sql, CppSQLite3Query& query, const SqlParams& params = SqlParams());
    // The statement's SQLite result code, or 1 when it raised.
    int Exec(const QString& sql, const SqlParams& params = SqlParams());
    // 0 and the value, or 1 when it raised.
    int ExecScalar(const QString& sql, int& value, const SqlParams& params = SqlParams());
    bool ConfigTableExists();
    // Appends the query's rows (and columns) to the table: rows loaded, or -1.
    int LoadTable(const QString& sql, CTYFieldTable& table, const SqlParams& params = SqlParams());

    const QString& GetPath() const { return m_path; }
    void SetPath(const QString& path) { m_path = path; }
    const QString& GetLastError() const { return m_lastError; }
    bool IsOpen() const { return m_db.IsOpen(); }

protected:
    // The configuration procedures behind ExecProc, without the name check.
    bool RunConfigReadProc(const std::vector<PROVIDER::CSqlProcHelperParam>& params, CTYFieldTable& table,
                           SqlProcStatus* status);
    bool RunConfigWriteProc(const std::vector<PROVIDER::CSqlProcHelperParam>& params, SqlProcStatus* status);

    QString m_path;
    CppSQLite3DB m_db;
    QString m_lastError;
};

}  // namespace DATABASE
