#include "database/CppSQLite3DB.h"

#include "common/DecimalText.h"
#include "common/MessageTable.h"
#include "database/CppSQLite3Exception.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace DATABASE {

namespace {

// A schema change seen at finalize makes the statement run again; a bound on
// the retries keeps a database whose schema keeps changing from looping forever.
constexpr int kMaxSchemaRetries = 16;

}  // namespace

CppSQLite3DB::CppSQLite3DB() = default;

CppSQLite3DB::~CppSQLite3DB()
{
    Close();
}

QString CppSQLite3DB::LastErrorText() const
{
    if (!m_db)
        return QString();
    return QString::fromUtf16(static_cast<const char16_t*>(sqlite3_errmsg16(m_db)));
}

void CppSQLite3DB::ApplyBusyTimeout()
{
    if (m_db)
        sqlite3_busy_timeout(m_db, m_busyTimeoutMs);
}

void CppSQLite3DB::SetBusyTimeout(int milliseconds)
{
    m_busyTimeoutMs = milliseconds;
    ApplyBusyTimeout();
}

bool CppSQLite3DB::Open(const QString& path, bool mustExist)
{
    if (mustExist && !QFileInfo::exists(path))
        return false;
    Close();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open16(path.utf16(), &db);
    return Adopt(rc, db);
}

bool CppSQLite3DB::OpenWithFlags(const QString& path, int flags, const char* vfs)
{
    Close();
    sqlite3* db = nullptr;
    const QByteArray utf8 = path.toUtf8();
    const int rc = sqlite3_open_v2(utf8.constData(), &db, flags, vfs);
    return Adopt(rc, db);
}

// Keeps the handle of a successful open; a failed open's handle is released,
// so a later statement reports "not open" instead of using a dead connection.
bool CppSQLite3DB::Adopt(int rc, sqlite3* db)
{
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    m_db = db;
    ApplyBusyTimeout();
    return true;
}

void CppSQLite3DB::Close()
{
    if (m_db) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

void CppSQLite3DB::CloseChecked()
{
    if (!m_db)
        return;
    const int rc = sqlite3_close(m_db);
    if (rc != SQLITE_OK)
        throw CppSQLite3Exception(rc, LastErrorText());
    m_db = nullptr;
}

void CppSQLite3DB::CheckDB() const
{
    if (!m_db)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, GetTextString(TEXT::DatabaseNotOpen));
}

sqlite3_stmt* CppSQLite3DB::Compile(const QString& sql, const SqlParams& params)
{
    CheckDB();
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare16(m_db, sql.utf16(), int(sql.size() * 2), &stmt, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = LastErrorText();
        sqlite3_finalize(stmt);
        throw CppSQLite3Exception(rc, message);
    }
    if (!stmt)  // blank text or only a comment
        throw CppSQLite3Exception(CPPSQLITE_ERROR, GetTextString(TEXT::NullVirtualMachine));

    for (int i = 0; i < params.size(); ++i) {
        const QVariant& v = params[i];
        const int index = i + 1;
        int brc;
        switch (v.metaType().id()) {
        case QMetaType::UnknownType:
        case QMetaType::Nullptr:
            brc = sqlite3_bind_null(stmt, index);
            break;
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
            brc = sqlite3_bind_int64(stmt, index, v.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            brc = sqlite3_bind_double(stmt, index, v.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = v.toByteArray();
            brc = sqlite3_bind_blob64(stmt, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                      SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QString text = v.toString();
            brc = sqlite3_bind_text16(stmt, index, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
            break;
        }
        }
        if (brc != SQLITE_OK) {
            const QString message = LastErrorText();
            sqlite3_finalize(stmt);
            throw CppSQLite3Exception(brc, message);
        }
    }
    return stmt;
}

int CppSQLite3DB::Execute(const QString& sql, const SqlParams& params)
{
    for (int attempt = 0;; ++attempt) {
        sqlite3_stmt* stmt = Compile(sql, params);
        int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ERROR) {
            // The legacy interface reports the specific error only after a reset.
            sqlite3_reset(stmt);
            const QString message = LastErrorText();
            sqlite3_finalize(stmt);
            throw CppSQLite3Exception(SQLITE_ERROR, message);
        }
        rc = sqlite3_finalize(stmt);
        if (rc == SQLITE_SCHEMA && attempt < kMaxSchemaRetries)
            continue;
        return rc;
    }
}

CppSQLite3Query CppSQLite3DB::ExecuteQuery(const QString& sql, const SqlParams& params)
{
    for (int attempt = 0;; ++attempt) {
        sqlite3_stmt* stmt = Compile(sql, params);
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE)
            return CppSQLite3Query(m_db, stmt, true);
        if (rc == SQLITE_ROW)
            return CppSQLite3Query(m_db, stmt, false);
        const int frc = sqlite3_finalize(stmt);
        if (frc == SQLITE_SCHEMA && attempt < kMaxSchemaRetries)
            continue;
        throw CppSQLite3Exception(frc, LastErrorText());
    }
}

int CppSQLite3DB::ExecuteScalar(const QString& sql, const SqlParams& params)
{
    CppSQLite3Query query = ExecuteQuery(sql, params);
    if (!query.HasStatement())
        throw CppSQLite3Exception(CPPSQLITE_ERROR, GetTextString(TEXT::NullVirtualMachine));
    if (query.IsEof() || query.NumFields() < 1)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, GetTextString(TEXT::InvalidScalarQuery));
    const int value = ReadDecimal(query.GetTextField(0));
    query.Finalize();
    return value;
}

}  // namespace DATABASE
