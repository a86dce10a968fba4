#include "database/CppSQLite3Exception.h"

namespace DATABASE {

CppSQLite3Exception::CppSQLite3Exception(int errorCode, const QString& errorMessage) : m_errorCode(errorCode)
{
    m_errorMessage =
        QStringLiteral("%1[%2]: %3").arg(ErrorCodeAsString(errorCode)).arg(errorCode).arg(errorMessage);
}

CppSQLite3Exception::CppSQLite3Exception(const CppSQLite3Exception& other) = default;
CppSQLite3Exception& CppSQLite3Exception::operator=(const CppSQLite3Exception& other) = default;
CppSQLite3Exception::~CppSQLite3Exception() = default;

QString CppSQLite3Exception::ErrorCodeAsString(int errorCode)
{
    static const char* const names[] = {
        "SQLITE_OK",       "SQLITE_ERROR",   "SQLITE_INTERNAL", "SQLITE_PERM",     "SQLITE_ABORT",
        "SQLITE_BUSY",     "SQLITE_LOCKED",  "SQLITE_NOMEM",    "SQLITE_READONLY", "SQLITE_INTERRUPT",
        "SQLITE_IOERR",    "SQLITE_CORRUPT", "SQLITE_NOTFOUND", "SQLITE_FULL",     "SQLITE_CANTOPEN",
        "SQLITE_PROTOCOL", "SQLITE_EMPTY",   "SQLITE_SCHEMA",   "SQLITE_TOOBIG",   "SQLITE_CONSTRAINT",
        "SQLITE_MISMATCH", "SQLITE_MISUSE",  "SQLITE_NOLFS",    "SQLITE_AUTH",     "SQLITE_FORMAT",
        "SQLITE_RANGE",
    };
    if (errorCode >= 0 && errorCode < int(sizeof(names) / sizeof(names[0])))
        return QString::fromLatin1(names[errorCode]);
    switch (errorCode) {
    case 100:
        return QStringLiteral("SQLITE_ROW");
    case 101:
        return QStringLiteral("SQLITE_DONE");
    case CPPSQLITE_ERROR:
        return QStringLiteral("CPPSQLITE_ERROR");
    default:
        return QStringLiteral("UNKNOWN_ERROR");
    }
}

}  // namespace DATABASE
