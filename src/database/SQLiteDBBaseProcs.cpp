// Field-table loading and the configuration procedures of CSQLiteDBBase.
#include "common/MessageTable.h"
#include "database/DataTable.h"
#include "database/FieldTable.h"
#include "database/SQLiteDBBase.h"
#include "database/SqlProcHelperParam.h"

#include <sqlite3.h>

namespace DATABASE {

namespace {

const QString ReadProcName = QStringLiteral("nvs_Config_GetProc");
const QString WriteProcName = QStringLiteral("nvs_Config_WriteProc");
constexpr int UnknownProcCode = 5;
constexpr int ProcDoneCode = 14;

// Values are bound, never pasted into the text, so quotes in an ID or a value
// are stored as they are.
const QString ReadConfigSql = QStringLiteral("SELECT * FROM [config] WHERE ID = ?;");
const QString CountConfigSql = QStringLiteral("SELECT count(*) FROM [config] WHERE ID = ?;");
const QString InsertConfigSql = QStringLiteral("INSERT INTO [config] (ID,strValue,intValue) VALUES (?,?,?);");
const QString UpdateConfigSql = QStringLiteral("UPDATE [config] SET strValue = ?,intValue = ? WHERE ID = ?;");
const QString CreateConfigSql =
    QStringLiteral("create table config(ID ntext PRIMARY KEY, strValue ntext, intValue int);");

bool SameProcName(const QString& name, const QString& expected)
{
    return name.compare(expected, Qt::CaseInsensitive) == 0;
}

void SetStatus(SqlProcStatus* status, int code, const QString& message)
{
    if (status) {
        status->code = code;
        status->message = message;
    }
}

// A missing or integer parameter reads as the empty text. Never null, so the
// value is stored as text rather than as NULL.
QString TextParam(const std::vector<PROVIDER::CSqlProcHelperParam>& params, const QString& name)
{
    const PROVIDER::CSqlProcHelperParam* p = PROVIDER::FindParam(params, name);
    if (!p || p->kind != PROVIDER::CSqlProcHelperParam::Text || p->text.isNull())
        return QStringLiteral("");
    return p->text;
}

int IntParam(const std::vector<PROVIDER::CSqlProcHelperParam>& params)
{
    const PROVIDER::CSqlProcHelperParam* p = PROVIDER::FindParam(params, PROVIDER::IntParamName);
    return (p && p->kind == PROVIDER::CSqlProcHelperParam::Int) ? p->intValue : 0;
}

// Kind of a column from its value in the first row (NULL without rows); a
// NULL in a column declared "int" still counts as an integer column.
int ColumnKind(const CppSQLite3Query& query, int column)
{
    const int type = query.IsEof() ? SQLITE_NULL : query.GetFieldType(column);
    switch (type) {
    case SQLITE_INTEGER:
        return CTYField::Int;
    case SQLITE_FLOAT:
        return CTYField::Double;
    case SQLITE_NULL:
        if (query.GetFieldDeclType(column).compare(QLatin1String("int"), Qt::CaseInsensitive) == 0)
            return CTYField::Int;
        return CTYField::Text;
    default:
        return CTYField::Text;
    }
}

}  // namespace

int CSQLiteDBBase::LoadTable(const QString& sql, CTYFieldTable& table, const SqlParams& params)
{
    m_lastError.clear();
    int loaded = 0;
    try {
        CppSQLite3Query query = m_db.ExecuteQuery(sql, params);
        if (!query.HasStatement())
            throw CppSQLite3Exception(CPPSQLITE_ERROR, GetTextString(TEXT::NullVirtualMachine));

        const int columns = query.NumFields();
        for (int c = 0; c < columns; ++c)
            table.AddColumn(query.GetFieldName(c), ColumnKind(query, c));

        while (!query.IsEof()) {
            CTYFieldRow& row = table.AddRow();
            ++loaded;
            row.fields.reserve(size_t(columns));
            for (int c = 0; c < columns; ++c) {
                switch (query.GetFieldType(c)) {
                case SQLITE_INTEGER:
                    row.fields.push_back(CTYField::FromInt(query.GetIntField(c)));
                    break;
                case SQLITE_FLOAT:
                    row.fields.push_back(CTYField::FromDouble(query.GetFloatField(c)));
                    break;
                case SQLITE_TEXT:
                    row.fields.push_back(CTYField::FromText(query.GetTextField(c)));
                    break;
                case SQLITE_NULL:
                    row.fields.push_back(CTYField::FromText(QString()));
                    break;
                default:
                    break;  // blobs have no field kind
                }
            }
            query.NextRow();
        }
        query.Finalize();
        return loaded;
    } catch (const CppSQLite3Exception& e) {
        m_lastError = e.ErrorMessage();
        return -1;
    }
}

bool CSQLiteDBBase::ExecProc(const QString& procName,
                             const std::vector<PROVIDER::CSqlProcHelperParam>& params, CTYFieldTable& table,
                             SqlProcStatus* status)
{
    if (!SameProcName(procName, ReadProcName)) {
        SetStatus(status, UnknownProcCode, GetTextString(TEXT::UnknownProcError));
        return false;
    }
    return RunConfigReadProc(params, table, status);
}

bool CSQLiteDBBase::ExecProc(const QString& procName,
                             const std::vector<PROVIDER::CSqlProcHelperParam>& params, CTYDataTable& table,
                             SqlProcStatus* status)
{
    if (!SameProcName(procName, ReadProcName)) {
        SetStatus(status, UnknownProcCode, GetTextString(TEXT::UnknownProcError));
        return false;
    }
    table.SetMode(CTYDataTable::FieldTableMode);
    return RunConfigReadProc(params, table.FieldTable(), status);
}

bool CSQLiteDBBase::ExecProc(const QString& procName,
                             const std::vector<PROVIDER::CSqlProcHelperParam>& params, SqlProcStatus* status)
{
    if (!SameProcName(procName, WriteProcName)) {
        SetStatus(status, UnknownProcCode, GetTextString(TEXT::UnknownProcError));
        return false;
    }
    return RunConfigWriteProc(params, status);
}

bool CSQLiteDBBase::RunConfigReadProc(const std::vector<PROVIDER::CSqlProcHelperParam>& params,
                                      CTYFieldTable& table, SqlProcStatus* status)
{
    table.ClearRows();
    table.ClearColumns();
    if (!OpenWithFlags(SQLITE_OPEN_READONLY))
        return false;

    const QString id = TextParam(params, QStringLiteral("@ID"));
    const int loaded = LoadTable(ReadConfigSql, table, SqlParams{id});
    SetStatus(status, ProcDoneCode, m_lastError);

    // Close clears the last error; a failed read keeps its reason.
    const QString error = m_lastError;
    if (Close())
        m_lastError = error;
    return loaded >= 0;
}

bool CSQLiteDBBase::RunConfigWriteProc(const std::vector<PROVIDER::CSqlProcHelperParam>& params,
                                       SqlProcStatus* status)
{
    if (!Open())
        return false;

    int result = 1;
    try {
        if (!ConfigTableExists())
            m_db.Execute(CreateConfigSql);

        const QString id = TextParam(params, QStringLiteral("@ID"));
        const QString text = TextParam(params, QStringLiteral("@STRVALUE"));
        const int value = IntParam(params);

        int count = 0;
        if (ExecScalar(CountConfigSql, count, SqlParams{id}) != 0 || count <= 0)
            result = Exec(InsertConfigSql, SqlParams{id, text, value});
        else
            result = Exec(UpdateConfigSql, SqlParams{text, value, id});
    } catch (const CppSQLite3Exception& e) {
        m_lastError = e.ErrorMessage();
        result = 1;
    }
    SetStatus(status, ProcDoneCode, m_lastError);

    const QString error = m_lastError;
    if (Close())
        m_lastError = error;
    return result == 0;
}

int CSQLiteDBBase::QueryTable(const QString& sql, CTYFieldTable& table)
{
    if (!Open())
        return 0;
    const int loaded = LoadTable(sql, table);
    const QString error = m_lastError;
    if (Close())
        m_lastError = error;
    return loaded;
}

bool CSQLiteDBBase::GetConfig(const QString& id, int& intValue, QString& strValue)
{
    std::vector<PROVIDER::CSqlProcHelperParam> params;
    PROVIDER::AddParam(params, QStringLiteral("@ID"), id);
    CTYDataTable data;
    data.SetMode(CTYDataTable::FieldTableMode);
    if (!RunConfigReadProc(params, data.FieldTable(), nullptr) || data.GetRowCount() <= 0)
        return false;
    intValue = data.GetIntValue();
    strValue = data.GetStrValue();
    return true;
}

bool CSQLiteDBBase::GetConfigInt(const QString& id, int& intValue)
{
    QString ignored;
    return GetConfig(id, intValue, ignored);
}

bool CSQLiteDBBase::GetConfigString(const QString& id, QString& strValue)
{
    int ignored = 0;
    return GetConfig(id, ignored, strValue);
}

bool CSQLiteDBBase::SetConfig(const QString& id, int intValue, const QString& strValue)
{
    std::vector<PROVIDER::CSqlProcHelperParam> params;
    PROVIDER::AddParam(params, QStringLiteral("@ID"), id);
    PROVIDER::AddParam(params, QStringLiteral("@STRVALUE"), strValue);
    PROVIDER::AddIntParam(params, intValue);
    return RunConfigWriteProc(params, nullptr);
}

bool CSQLiteDBBase::SetConfigInt(const QString& id, int intValue)
{
    return SetConfig(id, intValue, QString());
}

bool CSQLiteDBBase::SetConfigString(const QString& id, const QString& strValue)
{
    return SetConfig(id, 0, strValue);
}

}  // namespace DATABASE
