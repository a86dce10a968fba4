// Packages read in place: a package lying inside a larger file (as one
// attached to an executable), ranges that do not lie inside the file, and
// paths that must be escaped; the file is only ever read.
#include "PackageFiles.h"

#include "database/InstallCabDB.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace PKGTEST;

namespace {

constexpr qint64 kLead = 7777;  // bytes before the package, like an executable's own

class PackageRangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseUtc();
        cab = TESTS::ReadFileBytes(TESTS::FixturePath(QStringLiteral("sample/sample.cab")));
        QByteArray host(kLead, 'x');
        host += cab;
        host += QByteArray(3000, 'y');
        hostPath = TESTS::SandboxPath(QStringLiteral("dl/setup"));
        TESTS::WriteFileBytes(hostPath, host);
        outFolder = TESTS::SandboxPath(QStringLiteral("out"));
        QDir().mkpath(outFolder);
    }

    bool Extract(const QString& package, qint64 offset, qint64 size, const QString& name,
                 int* length = nullptr)
    {
        CInstallCabDB db;
        const bool ok = db.ExtractFile(name, outFolder + u'/' + name, {package, offset, size}, false, length);
        lastError = db.GetLastError();
        return ok;
    }

    QByteArray cab;
    QString hostPath;
    QString outFolder;
    QString lastError;
};

TEST_F(PackageRangeTest, EntriesComeOutOfAPackageInsideALargerFile)
{
    const QByteArray before = TESTS::ReadFileBytes(hostPath);
    for (const char* name : {"readme.txt", "uninstall.exe", "LabelCloud"}) {
        SCOPED_TRACE(name);
        int length = -1;
        ASSERT_TRUE(Extract(hostPath, kLead, cab.size(), QString::fromLatin1(name), &length))
            << lastError.toStdString();
        const QByteArray bytes = TESTS::ReadFileBytes(outFolder + u'/' + QString::fromLatin1(name));
        EXPECT_EQ(bytes.size(), length);
    }
    EXPECT_EQ(TESTS::ReadFileBytes(outFolder + QStringLiteral("/readme.txt")),
              TESTS::ReadFileBytes(TESTS::FixturePath(QStringLiteral("sample/src/readme.txt"))));
    // Only read: the same bytes, and no journal or other file beside it.
    EXPECT_EQ(TESTS::ReadFileBytes(hostPath), before);
    EXPECT_EQ(QDir(QFileInfo(hostPath).path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("setup")});
}

struct RangeCase {
    const char* label;
    qint64 offset;
    qint64 size;  // -1: to the end of the file
};

class BadRangeTest : public PackageRangeTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(BadRangeTest, FindsNothingAndWritesNothing)
{
    const RangeCase& c = GetParam();
    const qint64 size = c.size == -2 ? cab.size() + 3001 : c.size;
    int length = -7;
    EXPECT_FALSE(Extract(hostPath, c.offset, size, QStringLiteral("readme.txt"), &length));
    EXPECT_EQ(length, -7);
    EXPECT_EQ(QDir(outFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList());
}

INSTANTIATE_TEST_SUITE_P(Cases, BadRangeTest,
                         ::testing::Values(RangeCase{"PastTheEnd", kLead + 5120 * 100, -1},
                                           RangeCase{"LongerThanTheFile", kLead, -2},
                                           RangeCase{"NegativeOffset", -1, 5120},
                                           RangeCase{"NotOnThePackage", kLead - 100, -1},
                                           RangeCase{"CutShort", kLead, 2048}),
                         [](const auto& c) { return std::string(c.param.label); });

TEST_F(PackageRangeTest, PathsThatAUriWouldMisreadAreReadAsNamed)
{
    const QString package = TESTS::SandboxPath(QStringLiteral("pkg/a?b#c%20 模板&size=1.cab"));
    TESTS::WriteFileBytes(package, cab);
    ASSERT_TRUE(Extract(package, 0, -1, QStringLiteral("readme.txt"))) << lastError.toStdString();
    EXPECT_EQ(TESTS::ReadFileBytes(outFolder + QStringLiteral("/readme.txt")),
              TESTS::ReadFileBytes(TESTS::FixturePath(QStringLiteral("sample/src/readme.txt"))));
}

}  // namespace
