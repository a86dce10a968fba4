// Extraction of package entries: interop with packages made elsewhere, the
// failure cases with what each leaves behind, chunking, pumping and cancel.
#include "PackageFiles.h"

#include "support/CaseName.h"

#include "common/PumpMessages.h"
#include "database/InstallCabDB.h"

#include <QCoreApplication>
#include <QDir>
#include <QMetaObject>

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <tuple>

#include <sys/resource.h>

using namespace PKGTEST;

namespace {

// Every name in the folder; temporary files left behind would show up here.
QStringList FolderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

class ExtractTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseUtc();
        SetCancelFlag(false);
        SetPumpMessagesHook(nullptr);
        package = CopyFixture(QStringLiteral("sample/sample.cab"), QStringLiteral("pkg/sample.cab"));
        outFolder = TESTS::SandboxPath(QStringLiteral("out"));
        QDir().mkpath(outFolder);
    }
    void TearDown() override
    {
        SetPumpMessagesHook(nullptr);
        SetCancelFlag(false);
    }

    bool Extract(const QString& name, const QString& target, int* outLength, bool pump = false,
                 const QString& from = QString())
    {
        CInstallCabDB db;
        const bool ok = db.ExtractFile(name, target, {from.isEmpty() ? package : from}, pump, outLength);
        lastError = db.GetLastError();
        failure = db.ExtractFailure();
        return ok;
    }

    QString package;
    QString outFolder;
    QString lastError;
    CFailure failure;
};

struct FixtureEntry {
    const char16_t* name;
    const char* source;  // the packed source file, empty for the manifest
    int length;
    const char* md5;
    time_t time;
};

TEST_F(ExtractTest, EveryFixtureEntryExtractsToItsBytesDigestSizeAndTime)
{
    const time_t t2022 = UtcTime(2022, 8, 26, 14, 39, 38);
    const FixtureEntry entries[] = {
        {u"Install.xml", "Install.xml", 1749, "D5D9DE8B65068CE0FBE3C24B256C19C7", t2022},
        {u"LabelCloud", "src/LabelCloud", 47, "2F8F144E6354BDAD421580ECC0E94E53",
         UtcTime(2021, 6, 9, 10, 18, 14)},
        {u"readme.txt", "src/readme.txt", 4200, "F2FA5E5BF5F85D637E0872BB21C0ED9F", t2022},
        {u"模板.dat", "src/template.dat", 70000, "D08662703D7AD8CF8D4DA23752D516E3", t2022},
        {u"uninstall.exe", "src/NorvexSetup", 138000, "9625CDFEE308B3637AD119D631E748CA", t2022},
    };
    for (const FixtureEntry& e : entries) {
        const QString name = QString::fromUtf16(e.name);
        SCOPED_TRACE(name.toStdString());
        const QString target = outFolder + u'/' + name;
        int length = -1;
        ASSERT_TRUE(Extract(name, target, &length)) << lastError.toStdString();
        const QByteArray bytes = TESTS::ReadFileBytes(target);
        EXPECT_EQ(length, e.length);
        EXPECT_EQ(bytes.size(), e.length);
        EXPECT_EQ(Md5Text(bytes), QString::fromLatin1(e.md5));
        EXPECT_EQ(bytes,
                  TESTS::ReadFileBytes(
                      TESTS::FixturePath(QStringLiteral("sample/") + QString::fromLatin1(e.source))));
        EXPECT_EQ(MTime(target), e.time);
    }
    EXPECT_TRUE(TESTS::ReadFileBytes(outFolder + QStringLiteral("/Install.xml")).startsWith("\xEF\xBB\xBF"));
    // Only the extracted files, nothing temporary.
    EXPECT_EQ(FolderEntries(outFolder).size(), 5);
}

TEST_F(ExtractTest, NamesMatchCaseSensitively)
{
    int length = -7;
    EXPECT_FALSE(Extract(QStringLiteral("install.xml"), outFolder + QStringLiteral("/x"), &length));
    EXPECT_EQ(length, -7);
    EXPECT_TRUE(FolderEntries(outFolder).isEmpty());
}

TEST_F(ExtractTest, NameWithQuoteIsLookedUpAsAValue)
{
    const QString src = TESTS::SandboxPath(QStringLiteral("quote.txt"));
    TESTS::WriteFileBytes(src, "quoted\n");
    const QString pkg = MakePackage(QStringLiteral("quote.cab"),
                                    {QStringLiteral("--extra"), QStringLiteral("it's.txt=") + src});
    int length = 0;
    const QString target = outFolder + QStringLiteral("/it's.txt");
    ASSERT_TRUE(Extract(QStringLiteral("it's.txt"), target, &length, false, pkg)) << lastError.toStdString();
    EXPECT_EQ(TESTS::ReadFileBytes(target), QByteArray("quoted\n"));
    // A name that would close the quote and add a condition finds nothing.
    EXPECT_FALSE(
        Extract(QStringLiteral("x' or name<>'"), outFolder + QStringLiteral("/y"), nullptr, false, pkg));
}

// A row whose name is a blob with the same bytes is no entry: neither its
// data nor its length may stand in for the real one.
TEST_F(ExtractTest, BlobNamedRowIsNoEntry)
{
    ExecSql(package,
            QStringLiteral("insert into files(name, mode, length, len, md5, time, data) "
                           "select name, mode, length, len, md5, time, data from files "
                           "where name='LabelCloud';"
                           "update files set name=cast(name as blob), length=999999999 "
                           "where rowid=(select min(rowid) from files where name='LabelCloud');"));
    QHash<QString, qint64> lengths;
    CInstallCabDB db;
    ASSERT_TRUE(db.ReadEntryLengths({package}, lengths)) << db.GetLastError().toStdString();
    EXPECT_EQ(lengths.value(QStringLiteral("LabelCloud")), 47);
    int length = 0;
    ASSERT_TRUE(Extract(QStringLiteral("LabelCloud"), outFolder + QStringLiteral("/LabelCloud"), &length))
        << lastError.toStdString();
    EXPECT_EQ(length, 47);
}

TEST_F(ExtractTest, ExistingTargetIsReplacedEvenByShorterContent)
{
    const QString target = outFolder + QStringLiteral("/LabelCloud");
    TESTS::WriteFileBytes(target, QByteArray(10000, 'x'));
    ASSERT_TRUE(Extract(QStringLiteral("LabelCloud"), target, nullptr));
    EXPECT_EQ(TESTS::ReadFileBytes(target),
              TESTS::ReadFileBytes(TESTS::FixturePath(QStringLiteral("sample/src/LabelCloud"))));
}

TEST_F(ExtractTest, ProgramsGetTheRunBitOtherFilesDoNot)
{
    const QString script = TESTS::SandboxPath(QStringLiteral("src/run.sh"));
    const QString elf = TESTS::SandboxPath(QStringLiteral("src/prog"));
    const QString text = TESTS::SandboxPath(QStringLiteral("src/notes"));
    TESTS::WriteFileBytes(script, "#!/bin/sh\necho hi\n");
    TESTS::WriteFileBytes(elf,
                          QByteArray("\x7F"
                                     "ELF\x02\x01\x01",
                                     7)
                              + QByteArray(100, '\0'));
    TESTS::WriteFileBytes(text, "#not a script\n");
    const QString pkg =
        MakePackage(QStringLiteral("modes.cab"),
                    {QStringLiteral("--extra"), QStringLiteral("run.sh=") + script, QStringLiteral("--extra"),
                     QStringLiteral("prog=") + elf, QStringLiteral("--extra"),
                     QStringLiteral("notes=") + text, QStringLiteral("--store"), QStringLiteral("prog")});
    const mode_t mask = umask(022);
    const struct {
        const char* name;
        mode_t mode;
    } cases[] = {{"run.sh", 0755}, {"prog", 0755}, {"notes", 0644}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString target = outFolder + u'/' + QString::fromLatin1(c.name);
        ASSERT_TRUE(Extract(QString::fromLatin1(c.name), target, nullptr, false, pkg));
        EXPECT_EQ(FileMode(target), c.mode & ~mode_t(022));
    }
    umask(mask);
}

struct TimeCase {
    const char* label;
    const char* text;
    time_t expected;  // -1: the file keeps the time it was written at
};

TEST_F(ExtractTest, TimeTextGivesLocalStandardTime)
{
    const TimeCase cases[] = {
        {"plain", "2022-08-26 14:39:38", UtcTime(2022, 8, 26, 14, 39, 38)},
        {"empty", "", UtcTime(2015, 1, 1, 0, 0, 0)},
        {"date only", "2020-02-29", UtcTime(2020, 2, 29, 0, 0, 0)},
        {"before 1971", "1960-05-04 03:02:01", UtcTime(1971, 5, 4, 3, 2, 1)},
        {"month 13", "2022-13-01 00:00:00", -1},
        {"hour 24", "2022-01-01 24:00:00", -1},
        {"30 February", "2021-02-30 10:00:00", -1},
        {"negative", "2022-01--1 00:00:00", -1},
    };
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(c.label);
        // Each case gets a fresh package with its own time text.
        const QString pkg =
            CopyFixture(QStringLiteral("sample/sample.cab"),
                        QStringLiteral("time/") + QString::fromLatin1(c.label) + QStringLiteral(".cab"));
        ExecSql(pkg,
                QStringLiteral("update files set time='%1' where name='readme.txt';")
                    .arg(QString::fromLatin1(c.text)));
        const QString target = outFolder + QStringLiteral("/readme-") + QString::fromLatin1(c.label);
        const time_t before = time(nullptr);
        ASSERT_TRUE(Extract(QStringLiteral("readme.txt"), target, nullptr, false, pkg));
        const time_t after = time(nullptr);
        if (c.expected >= 0) {
            EXPECT_EQ(MTime(target), c.expected);
        } else {
            // time() and file times read the clock at different grains: a
            // second of slack either way.
            EXPECT_GE(MTime(target), before - 1);
            EXPECT_LE(MTime(target), after + 1);
        }
    }
}

TEST_F(ExtractTest, SummerTimeTextIsReadAsStandardTime)
{
    // Central European zone, given as a rule so no zone database is needed.
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    const QString target = outFolder + QStringLiteral("/readme.txt");
    ASSERT_TRUE(Extract(QStringLiteral("readme.txt"), target, nullptr));
    // 14:39:38 at UTC+1, although August is in summer time there.
    EXPECT_EQ(MTime(target), UtcTime(2022, 8, 26, 13, 39, 38));
}

// How a package is damaged, and what the extraction then leaves behind.
struct FailureCase {
    const char* label;
    const char* entry;  // the name asked for
    const char* sql;    // edit applied to a copy of the fixture, empty for none
    int outLength;      // expected out length; -7 = untouched
    const char* cause;  // the failure's cause
    int flipAt = -1;    // offset of a blob byte to invert, -1 for none
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.label;
}

// Each case with the entry inflated whole and inflated piece by piece.
class ExtractFailureTest : public ExtractTest,
                           public ::testing::WithParamInterface<std::tuple<FailureCase, bool>> {
protected:
    void SetUp() override
    {
        ExtractTest::SetUp();
        if (std::get<1>(GetParam()))
            DATABASE::CEntryData::SetWholeInflateLimit(0);
    }
    void TearDown() override
    {
        DATABASE::CEntryData::SetWholeInflateLimit(DATABASE::CEntryData::kDefaultWholeInflateLimit);
        ExtractTest::TearDown();
    }
};

TEST_P(ExtractFailureTest, FailsAndLeavesAnExistingTargetAsItWas)
{
    const FailureCase& c = std::get<0>(GetParam());
    if (c.sql[0])
        ExecSql(package, QString::fromUtf8(c.sql));
    if (c.flipAt >= 0)
        FlipBlobByte(package, QString::fromUtf8(c.entry), c.flipAt);
    const QString target = outFolder + QStringLiteral("/target");
    TESTS::WriteFileBytes(target, "old content");
    int length = -7;
    EXPECT_FALSE(Extract(QString::fromUtf8(c.entry), target, &length));
    EXPECT_EQ(length, c.outLength);
    EXPECT_EQ(TESTS::ReadFileBytes(target), QByteArray("old content"));
    EXPECT_EQ(FolderEntries(outFolder), QStringList{QStringLiteral("target")});
    // A damaged stream inflated whole may also end short of its length.
    const QString expected = QStringLiteral("cannot extract %1 to %2: %3")
                                 .arg(QString::fromUtf8(c.entry), target, QString::fromUtf8(c.cause));
    const QString shortEnd = QStringLiteral("cannot extract %1 to %2: size does not match")
                                 .arg(QString::fromUtf8(c.entry), target);
    EXPECT_TRUE(failure.Text() == expected
                || (QByteArray(c.cause) == "damaged data" && failure.Text() == shortEnd))
        << failure.Text().toStdString();
}

constexpr char kSize[] = "size does not match";
constexpr char kDigest[] = "digest mismatch";
constexpr char kDamaged[] = "damaged data";

const FailureCase kFailureCases[] = {
    {"NoRow", "missing.txt", "", -7, "no such entry in the package"},
    {"DamagedStream", "uninstall.exe", "", 138000, kDamaged, 200},
    {"DamagedHeader", "LabelCloud", "update files set data=zeroblob(55) where name='LabelCloud';", 47,
     kDamaged},
    {"InflatesPastLength", "uninstall.exe", "update files set length=1000 where name='uninstall.exe';", 1000,
     kSize},
    {"InflatesShortOfLength", "LabelCloud", "update files set length=48 where name='LabelCloud';", 48, kSize},
    {"LowerCaseMd5", "readme.txt", "update files set md5=lower(md5) where name='readme.txt';", 4200, kDigest},
    {"WrongMd5", "LabelCloud",
     "update files set md5='00000000000000000000000000000000' where name='LabelCloud';", 47, kDigest},
    {"StoredLengthBeyondBlob", "readme.txt",
     "update files set length=1000000, len=1000000 where name='readme.txt';", 1000000, kSize},
    {"StoredLenDiffersFromLength", "readme.txt", "update files set len=100 where name='readme.txt';", 4200,
     kSize},
    {"CompressedLenDiffersFromBlob", "LabelCloud", "update files set len=5000 where name='LabelCloud';", 47,
     kSize},
    {"CompressedLengthBeyondRatio", "LabelCloud",
     "update files set length=55*1032+1 where name='LabelCloud';", 55 * 1032 + 1, kSize},
    {"NegativeLength", "LabelCloud", "update files set length=-1 where name='LabelCloud';", -1, kSize},
    {"NullData", "readme.txt", "update files set data=NULL where name='readme.txt';", 4200, kSize},
};

INSTANTIATE_TEST_SUITE_P(Cases, ExtractFailureTest,
                         ::testing::Combine(::testing::ValuesIn(kFailureCases), ::testing::Bool()),
                         [](const auto& c) {
                             return std::string(std::get<0>(c.param).label)
                                 + (std::get<1>(c.param) ? "Streamed" : "Whole");
                         });

TEST_F(ExtractTest, MissingPackageFindsNothing)
{
    const QString missing = TESTS::SandboxPath(QStringLiteral("nowhere/none.cab"));
    int length = -7;
    EXPECT_FALSE(
        Extract(QStringLiteral("Install.xml"), outFolder + QStringLiteral("/x"), &length, false, missing));
    EXPECT_EQ(length, -7);
    EXPECT_TRUE(FolderEntries(outFolder).isEmpty());
}

TEST_F(ExtractTest, PackageWithoutFilesTableFailsWithSqliteMessage)
{
    const QString empty = TESTS::SandboxPath(QStringLiteral("empty.cab"));
    TESTS::WriteFileBytes(empty, QByteArray());
    int length = -7;
    EXPECT_FALSE(
        Extract(QStringLiteral("Install.xml"), outFolder + QStringLiteral("/x"), &length, false, empty));
    EXPECT_EQ(length, -7);
    EXPECT_EQ(lastError, QStringLiteral("SQLITE_ERROR[1]: no such table: files"));
    EXPECT_EQ(failure.Text(),
              QStringLiteral("cannot read the package ") + empty
                  + QStringLiteral(": SQLITE_ERROR[1]: no such table: files"));
    EXPECT_TRUE(FolderEntries(outFolder).isEmpty());
}

TEST_F(ExtractTest, UnwritableTargetFailsAndCreatesNothing)
{
    // Running as root defeats permission bits, so use places no one can write a file to.
    const QString missingFolder = outFolder + QStringLiteral("/no/such/folder/file");
    int length = -7;
    EXPECT_FALSE(Extract(QStringLiteral("readme.txt"), missingFolder, &length));
    EXPECT_EQ(length, 4200);
    EXPECT_EQ(
        failure.Text(),
        QStringLiteral("cannot write ") + missingFolder + QStringLiteral(": No such file or directory"));
    EXPECT_TRUE(FolderEntries(outFolder).isEmpty());

    const QString folderTarget = outFolder + QStringLiteral("/dir");
    QDir().mkpath(folderTarget + QStringLiteral("/inner"));
    EXPECT_FALSE(Extract(QStringLiteral("readme.txt"), folderTarget, nullptr));
    EXPECT_EQ(failure.Text(),
              QStringLiteral("cannot write ") + folderTarget + QStringLiteral(": Is a directory"));
    EXPECT_TRUE(QFileInfo(folderTarget + QStringLiteral("/inner")).isDir());
    EXPECT_EQ(FolderEntries(outFolder), QStringList{QStringLiteral("dir")});
}

class ChunkTest : public ExtractTest {
protected:
    void SetUp() override
    {
        ExtractTest::SetUp();
        QByteArray big(200000, '\0');
        for (int i = 0; i < big.size(); ++i)
            big[i] = char((i * 7919) >> 5);
        const QString src = TESTS::SandboxPath(QStringLiteral("src/big.bin"));
        TESTS::WriteFileBytes(src, big);
        bigBytes = big;
        package = MakePackage(QStringLiteral("big.cab"),
                              {QStringLiteral("--extra"), QStringLiteral("big.bin=") + src});
        target = outFolder + QStringLiteral("/big.bin");
    }

    // Sizes of the partial file seen at each pump point.
    QList<qint64> PartialSizesAtPumps() { return partialSizes; }
    void RecordPumps(int cancelAt = -1)
    {
        SetPumpMessagesHook([this, cancelAt] {
            qint64 size = -1;
            for (const QString& e : FolderEntries(outFolder))
                if (e != QStringLiteral("big.bin"))
                    size = QFileInfo(outFolder + u'/' + e).size();
            partialSizes.append(size);
            if (partialSizes.size() == cancelAt)
                SetCancelFlag(true);
        });
    }

    QByteArray bigBytes;
    QString target;
    QList<qint64> partialSizes;
};

TEST_F(ChunkTest, WritesFourChunksWithAPumpBeforeEach)
{
    RecordPumps();
    int length = 0;
    ASSERT_TRUE(Extract(QStringLiteral("big.bin"), target, &length, true));
    EXPECT_EQ(length, 200000);
    EXPECT_EQ(partialSizes, (QList<qint64>{0, 65536, 131072, 196608}));
    EXPECT_EQ(TESTS::ReadFileBytes(target), bigBytes);
}

TEST_F(ChunkTest, WithoutPumpingNoPumpAndNoCancel)
{
    RecordPumps();
    SetCancelFlag(true);
    ASSERT_TRUE(Extract(QStringLiteral("big.bin"), target, nullptr, false));
    EXPECT_TRUE(partialSizes.isEmpty());
    EXPECT_EQ(TESTS::ReadFileBytes(target), bigBytes);
}

TEST_F(ChunkTest, CancelBeforeFirstChunkWritesNothing)
{
    SetCancelFlag(true);
    int length = 0;
    EXPECT_FALSE(Extract(QStringLiteral("big.bin"), target, &length, true));
    EXPECT_EQ(length, 200000);
    EXPECT_TRUE(FolderEntries(outFolder).isEmpty());
}

TEST_F(ChunkTest, CancelMidwayRemovesThePartAndKeepsTheOldTarget)
{
    TESTS::WriteFileBytes(target, "previous version");
    RecordPumps(3);
    EXPECT_FALSE(Extract(QStringLiteral("big.bin"), target, nullptr, true));
    EXPECT_EQ(failure.cause, QStringLiteral("cancelled"));
    EXPECT_EQ(partialSizes.size(), 3);
    EXPECT_EQ(TESTS::ReadFileBytes(target), QByteArray("previous version"));
    EXPECT_EQ(FolderEntries(outFolder), QStringList{QStringLiteral("big.bin")});
}

TEST_F(ChunkTest, WriteErrorRemovesThePartAndKeepsTheOldTarget)
{
    TESTS::WriteFileBytes(target, "previous version");
    // A file size limit makes a write fail midway, as a full disk would.
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit saved = {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    limited.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool ok = Extract(QStringLiteral("big.bin"), target, nullptr, true);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(ok);
    EXPECT_EQ(failure.Text(), QStringLiteral("cannot write ") + target + QStringLiteral(": File too large"));
    EXPECT_EQ(TESTS::ReadFileBytes(target), QByteArray("previous version"));
    EXPECT_EQ(FolderEntries(outFolder), QStringList{QStringLiteral("big.bin")});
}

TEST_F(ChunkTest, PumpRunsQueuedQtEventsWhichCanCancel)
{
    int argc = 1;
    char arg0[] = "test";
    char* argv[] = {arg0, nullptr};
    QCoreApplication app(argc, argv);
    int ran = 0;
    QMetaObject::invokeMethod(
        &app,
        [&ran] {
            ++ran;
            SetCancelFlag(true);
        },
        Qt::QueuedConnection);
    EXPECT_FALSE(Extract(QStringLiteral("big.bin"), target, nullptr, true));
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(FolderEntries(outFolder).isEmpty());
}

// A package kept open for many entries is checked anew when the file changes.
TEST_F(ExtractTest, KeptOpenPackageIsOpenedAndCheckedAgainWhenItChanges)
{
    const QString viewSql = QStringLiteral(
        "alter table files rename to files_data;"
        "create view files as select * from files_data;");
    const QString changed =
        CopyFixture(QStringLiteral("sample/sample.cab"), QStringLiteral("pkg/changed.cab"));
    ExecSql(changed,
            QStringLiteral("update files set data=(select data from files where name='LabelCloud'), "
                           "length=(select length from files where name='LabelCloud'), "
                           "len=(select len from files where name='LabelCloud'), "
                           "md5=(select md5 from files where name='LabelCloud'), "
                           "mode=(select mode from files where name='LabelCloud') "
                           "where name='readme.txt';"));
    const QByteArray label =
        TESTS::ReadFileBytes(TESTS::FixturePath(QStringLiteral("sample/src/LabelCloud")));
    const QByteArray readme =
        TESTS::ReadFileBytes(TESTS::FixturePath(QStringLiteral("sample/src/readme.txt")));

    CInstallCabDB db;
    db.KeepPackageOpen(true);
    const QString target = outFolder + QStringLiteral("/readme.txt");
    ASSERT_TRUE(db.ExtractFile(QStringLiteral("readme.txt"), target, {package}, false, nullptr));
    EXPECT_EQ(TESTS::ReadFileBytes(target), readme);
    // Replaced by another package: its own entry comes out.
    ASSERT_TRUE(QFile::remove(package));
    ASSERT_TRUE(QFile::copy(changed, package));
    ASSERT_TRUE(db.ExtractFile(QStringLiteral("readme.txt"), target, {package}, false, nullptr))
        << db.ExtractFailure().Text().toStdString();
    EXPECT_EQ(TESTS::ReadFileBytes(target), label);
    // Changed in place into one whose files is a view: refused, as when first opened.
    ExecSql(package, viewSql);
    EXPECT_FALSE(db.ExtractFile(QStringLiteral("readme.txt"), target, {package}, false, nullptr));
    EXPECT_EQ(db.ExtractFailure().cause, QStringLiteral("The package's files or config is not a table"));
    // Fixed again: read again.
    ASSERT_TRUE(QFile::remove(package));
    ASSERT_TRUE(QFile::copy(changed, package));
    ASSERT_TRUE(db.ExtractFile(QStringLiteral("LabelCloud"), outFolder + QStringLiteral("/LabelCloud"),
                               {package}, false, nullptr));
    db.KeepPackageOpen(false);
    EXPECT_FALSE(db.IsOpen());
    EXPECT_EQ(TESTS::ReadFileBytes(target), label);
    EXPECT_EQ(FolderEntries(outFolder),
              (QStringList{QStringLiteral("LabelCloud"), QStringLiteral("readme.txt")}));
}

TEST_F(ExtractTest, EmptyFileNeedsNoChunkAndNoPump)
{
    const QString src = TESTS::SandboxPath(QStringLiteral("src/empty"));
    TESTS::WriteFileBytes(src, QByteArray());
    const QString pkg =
        MakePackage(QStringLiteral("empty-entry.cab"),
                    {QStringLiteral("--extra"), QStringLiteral("empty=") + src, QStringLiteral("--extra"),
                     QStringLiteral("stored=") + src, QStringLiteral("--store"), QStringLiteral("stored")});
    int pumps = 0;
    SetPumpMessagesHook([&pumps] { ++pumps; });
    SetCancelFlag(true);
    for (const char* name : {"empty", "stored"}) {
        SCOPED_TRACE(name);
        const QString target = outFolder + u'/' + QString::fromLatin1(name);
        int length = -7;
        ASSERT_TRUE(Extract(QString::fromLatin1(name), target, &length, true, pkg))
            << lastError.toStdString();
        EXPECT_EQ(length, 0);
        EXPECT_TRUE(QFileInfo::exists(target));
        EXPECT_EQ(QFileInfo(target).size(), 0);
    }
    EXPECT_EQ(pumps, 0);
}

}  // namespace
