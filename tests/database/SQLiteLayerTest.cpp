// The SQLite access layer: error texts, cursor rules, connection handling and
// the schema of packages the layer creates itself.
#include "PackageFiles.h"

#include "database/CppSQLite3DB.h"
#include "database/CppSQLite3Exception.h"
#include "database/InstallCabDB.h"
#include "database/SQLiteDBBase.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace DATABASE;

namespace {

// The formatted message of whatever the call raises; empty when it does not raise.
template <typename F>
QString RaisedMessage(F&& call)
{
    try {
        call();
    } catch (const CppSQLite3Exception& e) {
        return e.ErrorMessage();
    }
    return QString();
}

TEST(CppSQLite3ExceptionTest, FormatsNameCodeAndText)
{
    const struct {
        int code;
        QString text;
        const char* expected;
    } cases[] = {
        {5, QStringLiteral("busy"), "SQLITE_BUSY[5]: busy"},
        {0, QString(), "SQLITE_OK[0]: "},
        {25, QStringLiteral("r"), "SQLITE_RANGE[25]: r"},
        {26, QStringLiteral("x"), "UNKNOWN_ERROR[26]: x"},
        {100, QString(), "SQLITE_ROW[100]: "},
        {101, QString(), "SQLITE_DONE[101]: "},
        {1000, QStringLiteral("Database not open"), "CPPSQLITE_ERROR[1000]: Database not open"},
        {-1, QString(), "UNKNOWN_ERROR[-1]: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        const CppSQLite3Exception e(c.code, c.text);
        EXPECT_EQ(e.ErrorCode(), c.code);
        EXPECT_EQ(e.ErrorMessage(), QString::fromLatin1(c.expected));
        const CppSQLite3Exception copy(e);
        EXPECT_EQ(copy.ErrorMessage(), e.ErrorMessage());
    }
}

class MemoryDBTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.Open(QStringLiteral(":memory:"), false));
        ASSERT_EQ(db.Execute(QStringLiteral("create table t(md5 ntext, n int, b blob);")), 0);
        ASSERT_EQ(db.Execute(QStringLiteral("insert into t values('abc', 42, x'0102');")), 0);
    }
    CppSQLite3DB db;
};

TEST_F(MemoryDBTest, ExecuteScalarNeedsARowAndReadsLeadingDigits)
{
    EXPECT_EQ(RaisedMessage([&] { db.ExecuteScalar(QStringLiteral("select n from t where 0;")); }),
              QStringLiteral("CPPSQLITE_ERROR[1000]: Invalid scalar query"));
    EXPECT_EQ(db.ExecuteScalar(QStringLiteral("select md5 from t;")), 0);
    EXPECT_EQ(db.ExecuteScalar(QStringLiteral("select ' -17xyz';")), -17);
    EXPECT_EQ(db.ExecuteScalar(QStringLiteral("select NULL;")), 0);
    EXPECT_EQ(db.ExecuteScalar(QStringLiteral("select count(*) from t;")), 1);
}

TEST_F(MemoryDBTest, FieldNamesMatchCaseSensitively)
{
    CppSQLite3Query q = db.ExecuteQuery(QStringLiteral("select n, md5 from t;"));
    EXPECT_EQ(q.GetFieldIndex(QStringLiteral("md5")), 1);
    EXPECT_EQ(RaisedMessage([&] { q.GetFieldIndex(QStringLiteral("MD5")); }),
              QStringLiteral("CPPSQLITE_ERROR[1000]: Invalid field name requested"));
}

TEST_F(MemoryDBTest, ColumnAccessChecksStatementAndIndex)
{
    CppSQLite3Query q = db.ExecuteQuery(QStringLiteral("select md5, n, b, NULL from t;"));
    EXPECT_EQ(q.GetTextField(0), QStringLiteral("abc"));
    EXPECT_EQ(q.GetIntField(1), 42);
    EXPECT_EQ(q.GetFieldType(2), 4);
    EXPECT_EQ(q.GetFieldType(3), 5);
    EXPECT_EQ(q.GetIntField(3), 0);
    EXPECT_TRUE(q.GetTextField(3).isEmpty());
    int count = 0;
    const unsigned char* bytes = q.GetBlobField(2, count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(bytes[1], 2);
    for (int bad : {-1, 4}) {
        EXPECT_EQ(RaisedMessage([&] { q.GetIntField(bad); }),
                  QStringLiteral("CPPSQLITE_ERROR[1000]: Invalid field index requested"));
    }
    q.Finalize();
    EXPECT_EQ(RaisedMessage([&] { q.GetTextField(0); }),
              QStringLiteral("CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer"));
}

TEST_F(MemoryDBTest, BoundValuesAreNeverPartOfTheStatement)
{
    const QString tricky = QStringLiteral("a'b\"); drop table t; --");
    ASSERT_EQ(
        db.Execute(QStringLiteral("insert into t values(?, ?, ?);"), {tricky, 7, QByteArray("\0\1", 2)}), 0);
    CppSQLite3Query q = db.ExecuteQuery(QStringLiteral("select n from t where md5=?;"), {tricky});
    ASSERT_FALSE(q.IsEof());
    EXPECT_EQ(q.GetIntField(0), 7);
    q.NextRow();
    EXPECT_TRUE(q.IsEof());
}

TEST_F(MemoryDBTest, AssigningAQueryReleasesTheOldStatement)
{
    CppSQLite3Query q = db.ExecuteQuery(QStringLiteral("select 1;"));
    q = db.ExecuteQuery(QStringLiteral("select 2;"));
    EXPECT_EQ(q.GetIntField(0), 2);
    CppSQLite3Query other;
    other = std::move(q);
    EXPECT_FALSE(q.HasStatement());
    other.Finalize();
    EXPECT_NO_THROW(db.CloseChecked());
}

TEST(SQLiteDBBaseTest, CloseWithUnfinalizedStatementFailsAndKeepsConnection)
{
    CSQLiteDBBase base;
    ASSERT_TRUE(base.OpenMemory());
    CppSQLite3Query q;
    ASSERT_TRUE(base.Query(QStringLiteral("select 1;"), q));
    EXPECT_FALSE(base.Close());
    EXPECT_EQ(base.GetLastError(),
              QStringLiteral("SQLITE_BUSY[5]: unable to close due to unfinalized statements or "
                             "unfinished backups"));
    EXPECT_TRUE(base.IsOpen());
    q.Finalize();
    EXPECT_TRUE(base.Close());
    EXPECT_TRUE(base.GetLastError().isEmpty());
    EXPECT_FALSE(base.IsOpen());
}

TEST(SQLiteDBBaseTest, OperationsWithoutConnectionReportDatabaseNotOpen)
{
    CSQLiteDBBase base;
    EXPECT_EQ(base.Exec(QStringLiteral("select 1;")), 1);
    EXPECT_EQ(base.GetLastError(), QStringLiteral("CPPSQLITE_ERROR[1000]: Database not open"));
    int value = 5;
    EXPECT_EQ(base.ExecScalar(QStringLiteral("select 1;"), value), 1);
    EXPECT_EQ(value, 5);
    EXPECT_FALSE(base.ConfigTableExists());
}

TEST(SQLiteDBBaseTest, MemoryDatabaseGetsConfigTable)
{
    CSQLiteDBBase base;
    ASSERT_TRUE(base.OpenMemory());
    EXPECT_FALSE(base.ConfigTableExists());
    EXPECT_EQ(base.CreateTables(), 0);
    EXPECT_TRUE(base.ConfigTableExists());
    // A second attempt fails without raising; the reason is kept.
    EXPECT_EQ(base.CreateTables(), 1);
    EXPECT_EQ(base.GetLastError(), QStringLiteral("SQLITE_ERROR[1]: table config already exists"));
}

TEST(SQLiteDBBaseTest, ExecReportsStatementErrors)
{
    CSQLiteDBBase base;
    ASSERT_TRUE(base.OpenMemory());
    EXPECT_EQ(base.Exec(QStringLiteral("select * from nowhere;")), 1);
    EXPECT_EQ(base.GetLastError(), QStringLiteral("SQLITE_ERROR[1]: no such table: nowhere"));
    EXPECT_EQ(base.Exec(QStringLiteral("create table u(a int unique);")), 0);
    EXPECT_EQ(base.Exec(QStringLiteral("insert into u values(1);")), 0);
    EXPECT_EQ(base.Exec(QStringLiteral("insert into u values(1);")), 1);
    EXPECT_EQ(base.GetLastError(), QStringLiteral("SQLITE_ERROR[1]: UNIQUE constraint failed: u.a"));
}

TEST(InstallCabDBTest, OpenCreatesMissingPackageWithExactSchema)
{
    PKGTEST::UseUtc();
    const QString path = TESTS::SandboxPath(QStringLiteral("new/deeper/package.cab"));
    CInstallCabDB cab;
    ASSERT_TRUE(cab.Open(path)) << cab.GetLastError().toStdString();
    EXPECT_TRUE(cab.IsOpen());
    EXPECT_TRUE(cab.ConfigTableExists());

    CppSQLite3Query q;
    ASSERT_TRUE(cab.Query(QStringLiteral("select name, sql from sqlite_master where type='table' "
                                         "order by rowid;"),
                          q));
    QStringList schema;
    for (; !q.IsEof(); q.NextRow())
        schema << q.GetTextField(1);
    q.Finalize();
    EXPECT_EQ(schema,
              (QStringList{
                  QStringLiteral("CREATE TABLE config(ID ntext PRIMARY KEY, strValue ntext, intValue int)"),
                  QStringLiteral("CREATE TABLE files(id INTEGER PRIMARY KEY AUTOINCREMENT, name\tntext, "
                                 "ver\t\tntext, path\tntext, pack\tntext, action\tntext, mode\tint, "
                                 "length\tint, len\t\tint, time\tntext, md5\t\tntext, data\tblob)"),
                  QStringLiteral("CREATE TABLE sqlite_sequence(name,seq)")}));
    ASSERT_TRUE(cab.Query(QStringLiteral("pragma encoding;"), q));
    EXPECT_EQ(q.GetTextField(0), QStringLiteral("UTF-16le"));
    q.Finalize();
    EXPECT_TRUE(cab.Close());

    // A package without rows finds nothing.
    CInstallCabDB again;
    int length = -7;
    EXPECT_FALSE(again.ExtractFile(QStringLiteral("Install.xml"), TESTS::SandboxPath(QStringLiteral("x")),
                                   {path}, false, &length));
    EXPECT_EQ(length, -7);
}

TEST(InstallCabDBTest, ZeroByteFileOpensAsEmptyDatabase)
{
    const QString path = TESTS::SandboxPath(QStringLiteral("zero.cab"));
    TESTS::WriteFileBytes(path, QByteArray());
    CInstallCabDB cab;
    ASSERT_TRUE(cab.Open(path));
    CppSQLite3Query q;
    EXPECT_FALSE(cab.Query(QStringLiteral("select * from files;"), q));
    EXPECT_EQ(cab.GetLastError(), QStringLiteral("SQLITE_ERROR[1]: no such table: files"));
    EXPECT_TRUE(cab.Close());
}

TEST(InstallCabDBTest, FixtureRowsReadThroughTheLayer)
{
    const QString path = PKGTEST::CopyFixture(QStringLiteral("sample/sample.cab"), QStringLiteral("s.cab"));
    CInstallCabDB cab;
    ASSERT_TRUE(cab.Open(path));
    CppSQLite3Query q;
    ASSERT_TRUE(cab.Query(QStringLiteral("select name, length from files where name=?;"), q,
                          {QStringLiteral("模板.dat")}));
    ASSERT_FALSE(q.IsEof());
    EXPECT_EQ(q.GetTextField(QStringLiteral("name")), QStringLiteral("模板.dat"));
    EXPECT_EQ(q.GetIntField(QStringLiteral("length")), 70000);
    q.Finalize();
    EXPECT_TRUE(cab.Close());
}

}  // namespace
