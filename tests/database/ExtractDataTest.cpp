// Entry data that SQLite holds as something other than a blob comes out with
// the same bytes as a blob would give.
#include "PackageFiles.h"

#include "database/InstallCabDB.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace PKGTEST;

namespace {

TEST(ExtractDataTest, DataHeldAsTextGivesItsStoredBytes)
{
    UseUtc();
    const QString package = CopyFixture(QStringLiteral("sample/sample.cab"), QStringLiteral("text-data.cab"));
    // The cast keeps the (even number of) bytes and only changes the value's type.
    ExecSql(package, QStringLiteral("update files set data=cast(data as text) where name='readme.txt';"));
    const QString target = TESTS::SandboxPath(QStringLiteral("out/readme.txt"));
    QDir().mkpath(QFileInfo(target).path());
    CInstallCabDB db;
    ASSERT_TRUE(db.ExtractFile(QStringLiteral("readme.txt"), target, {package}, false, nullptr))
        << db.GetLastError().toStdString();
    EXPECT_EQ(TESTS::ReadFileBytes(target),
              TESTS::ReadFileBytes(TESTS::FixturePath(QStringLiteral("sample/src/readme.txt"))));
}

}  // namespace
