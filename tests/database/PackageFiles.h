// Helpers for tests that need packages: copies of the interop fixture, packages
// made by the independent reference packer, and row edits with SQLite itself.
#pragma once

#include "support/Sandbox.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include <sqlite3.h>
#include <sys/stat.h>

namespace PKGTEST {

// Times in packages are local wall-clock times; the fixture was made in UTC.
inline void UseUtc()
{
    setenv("TZ", "UTC", 1);
    tzset();
}

using TESTS::CopyFixture;

// Runs SQL on a package with SQLite directly (not through the layer under test).
inline void ExecSql(const QString& path, const QString& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    const QString message = error ? QString::fromUtf8(error) : QString();
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message.toStdString();
}

// Inverts one byte of an entry's data, keeping its size.
inline void FlipBlobByte(const QString& path, const QString& name, int offset)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    sqlite3_stmt* read = nullptr;
    const QByteArray utf8 = name.toUtf8();
    ASSERT_EQ(sqlite3_prepare_v2(db, "select data from files where name=?", -1, &read, nullptr), SQLITE_OK);
    sqlite3_bind_text(read, 1, utf8.constData(), -1, SQLITE_TRANSIENT);
    ASSERT_EQ(sqlite3_step(read), SQLITE_ROW);
    QByteArray data(static_cast<const char*>(sqlite3_column_blob(read, 0)), sqlite3_column_bytes(read, 0));
    sqlite3_finalize(read);
    ASSERT_LT(offset, data.size());
    data[offset] = char(~data[offset]);
    sqlite3_stmt* write = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "update files set data=? where name=?", -1, &write, nullptr), SQLITE_OK);
    sqlite3_bind_blob(write, 1, data.constData(), int(data.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(write, 2, utf8.constData(), -1, SQLITE_TRANSIENT);
    ASSERT_EQ(sqlite3_step(write), SQLITE_DONE);
    sqlite3_finalize(write);
    sqlite3_close(db);
}

// A package made by the reference packer from the sample manifest and sources,
// plus the given options (--extra NAME=FILE, --store NAME, --time NAME=TEXT ...).
inline QString MakePackage(const QString& as, const QStringList& options)
{
    const QString out = TESTS::SandboxPath(as);
    QProcess packer;
    packer.start(QStringLiteral("python3"),
                 QStringList{TESTS::FixturePath(QStringLiteral("refpack.py")),
                             TESTS::FixturePath(QStringLiteral("sample/Install.xml")),
                             TESTS::FixturePath(QStringLiteral("sample/src")), out}
                     + options);
    EXPECT_TRUE(packer.waitForFinished(120000));
    EXPECT_EQ(packer.exitCode(), 0) << packer.readAllStandardError().toStdString();
    return out;
}

inline QString Md5Text(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex()).toUpper();
}

inline time_t MTime(const QString& path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return st.st_mtim.tv_sec;
}

inline mode_t FileMode(const QString& path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

inline time_t UtcTime(int y, int mo, int d, int h, int mi, int s)
{
    struct tm t = {};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return timegm(&t);
}

}  // namespace PKGTEST
