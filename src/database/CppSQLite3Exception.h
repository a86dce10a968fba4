// The one exception type of the database layer: an SQLite result code (or 1000
// for the layer's own errors) and a message formatted as "NAME[code]: text".
#pragma once

#include <QString>

namespace DATABASE {

// Code of errors raised by the layer itself rather than by SQLite.
constexpr int CPPSQLITE_ERROR = 1000;

class CppSQLite3Exception {
public:
    // A null or empty message gives "NAME[code]: ".
    CppSQLite3Exception(int errorCode, const QString& errorMessage = QString());
    CppSQLite3Exception(const CppSQLite3Exception& other);
    CppSQLite3Exception& operator=(const CppSQLite3Exception& other);
    virtual ~CppSQLite3Exception();

    int ErrorCode() const { return m_errorCode; }
    // The formatted message.
    const QString& ErrorMessage() const { return m_errorMessage; }

    // "SQLITE_BUSY" for 5, "CPPSQLITE_ERROR" for 1000, "UNKNOWN_ERROR" for codes without a name.
    static QString ErrorCodeAsString(int errorCode);

private:
    int m_errorCode;
    QString m_errorMessage;
};

}  // namespace DATABASE
