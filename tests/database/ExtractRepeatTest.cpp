// Repeated extractions from one package path by one reader: each must see the
// package as it is now, even after rows changed or the file was replaced
// between two calls, whatever the reader noted of it before.
#include "PackageFiles.h"

#include "support/CaseName.h"

#include "database/InstallCabDB.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace PKGTEST;

namespace {

struct RepeatCase {
    const char* label;
    const char* sql;  // edit made between the two extractions; empty: replace the file
    const char* asked;
    const char* expected;  // "first", "second", "readme" or "" for not found
};

void PrintTo(const RepeatCase& c, std::ostream* os)
{
    *os << c.label;
}

class ExtractRepeatTest : public ::testing::TestWithParam<RepeatCase> {
protected:
    void SetUp() override
    {
        UseUtc();
        first = TESTS::SandboxPath(QStringLiteral("src/first.txt"));
        second = TESTS::SandboxPath(QStringLiteral("src/second.txt"));
        TESTS::WriteFileBytes(first, "first row\n");
        TESTS::WriteFileBytes(second, "second row, longer\n");
        // Two rows with the same name: the first one is the entry.
        package = MakePackage(QStringLiteral("dup.cab"),
                              {QStringLiteral("--extra"), QStringLiteral("dup=") + first,
                               QStringLiteral("--extra"), QStringLiteral("dup=") + second});
        out = TESTS::SandboxPath(QStringLiteral("out"));
        QDir().mkpath(out);
    }

    bool Extract(const QString& name, QByteArray& bytes)
    {
        const QString target = out + u'/' + name + QString::number(++count);
        if (!db.ExtractFile(name, target, {package}, false, nullptr))
            return false;
        bytes = TESTS::ReadFileBytes(target);
        return true;
    }

    QByteArray Expected(const char* which)
    {
        const QString w = QString::fromLatin1(which);
        if (w == QStringLiteral("first"))
            return TESTS::ReadFileBytes(first);
        if (w == QStringLiteral("second"))
            return TESTS::ReadFileBytes(second);
        return TESTS::ReadFileBytes(TESTS::FixturePath(QStringLiteral("sample/src/readme.txt")));
    }

    CInstallCabDB db;
    QString first, second, package, out;
    int count = 0;
};

TEST_P(ExtractRepeatTest, SecondExtractionSeesThePackageAsItIsNow)
{
    const RepeatCase& c = GetParam();
    QByteArray bytes;
    ASSERT_TRUE(Extract(QStringLiteral("dup"), bytes));
    EXPECT_EQ(bytes, Expected("first"));

    if (c.sql[0])
        ExecSql(package, QString::fromUtf8(c.sql));
    else
        CopyFixture(QStringLiteral("sample/sample.cab"), QStringLiteral("dup.cab"));

    const QString asked = QString::fromLatin1(c.asked);
    if (!c.expected[0]) {
        EXPECT_FALSE(Extract(asked, bytes));
        return;
    }
    ASSERT_TRUE(Extract(asked, bytes));
    EXPECT_EQ(bytes, Expected(c.expected));
}

const RepeatCase kRepeatCases[] = {
    {"Unchanged", "select 1;", "dup", "first"},
    {"FirstRowDeleted", "delete from files where id=(select min(id) from files where name='dup');", "dup",
     "second"},
    {"FirstRowRenamedAway",
     "update files set name='gone' where id=(select min(id) from files where name='dup');", "dup", "second"},
    {"RenamedRowFoundByItsNewName",
     "update files set name='gone' where id=(select min(id) from files where name='dup');", "gone", "first"},
    {"EarlierRowAdded",
     "insert into files(id,name,ver,path,pack,action,mode,length,len,time,md5,data) "
     "select -1,'dup',ver,path,pack,action,mode,length,len,time,md5,data from files "
     "where name='readme.txt';",
     "dup", "readme"},
    {"FileReplacedHasNoSuchEntry", "", "dup", ""},
    {"FileReplacedHasItsOwnEntries", "", "readme.txt", "readme"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ExtractRepeatTest, ::testing::ValuesIn(kRepeatCases),
                         TESTS::CaseNameBy<&RepeatCase::label>());

}  // namespace
