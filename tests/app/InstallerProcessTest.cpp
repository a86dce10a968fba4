// Real installers made by norvex-pack attach, run as processes: which package
// a run uses, every way the package check fails, and that a run leaves no
// temporary file behind.
#include "StartupSupport.h"

#include "support/CaseName.h"
#include "support/Process.h"
#include "support/Sandbox.h"

#include "app/EmbeddedPackage.h"
#include "common/MD5Encode.h"
#include "database/CppSQLite3DB.h"
#include "engine/InstallEngine.h"
#include "pack/PackageWriter.h"
#include "platform/ExecutableResources.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

namespace {

const QString kSetupExe = QStringLiteral(NORVEX_SETUP_EXE);
const QString kPackExe = QStringLiteral(NORVEX_PACK_EXE);
const QString kPackageError = QStringLiteral("出错: 安装程序无法加载安装数据，请重新下载安装程序后重试！");

using TESTS::ProcessResult;
using TESTS::RunProcess;

void Pack(const QStringList& arguments)
{
    const ProcessResult r = RunProcess(kPackExe, arguments);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
}

QString SamplePackage()
{
    const QString path = TESTS::SandboxPath(QStringLiteral("work/product.cab"));
    if (!QFile::exists(path)) {
        QDir().mkpath(TESTS::SandboxPath(QStringLiteral("work")));
        Pack({QStringLiteral("build"), QStringLiteral("--manifest"),
              TESTS::FixturePath(QStringLiteral("sample/Install.xml")), QStringLiteral("--source"),
              TESTS::FixturePath(QStringLiteral("sample/src")), QStringLiteral("-o"), path});
    }
    return path;
}

// A package written row by row, for contents the packer would refuse.
QString HandMadePackage(const QString& fileName, const std::vector<std::pair<QString, QByteArray>>& files)
{
    const QString path = TESTS::SandboxPath(QStringLiteral("work/") + fileName);
    QDir().mkpath(TESTS::SandboxPath(QStringLiteral("work")));
    CPackageWriter writer;
    QString error;
    EXPECT_TRUE(writer.Create(path, &error)) << error.toStdString();
    for (const auto& [name, content] : files) {
        PackageRow row;
        row.name = name;
        row.time = QStringLiteral("2022-08-26 14:39:38");
        PackBytes(content, 9, row);
        EXPECT_TRUE(writer.AddFile(row, &error)) << error.toStdString();
    }
    EXPECT_TRUE(writer.Finish(&error)) << error.toStdString();
    return path;
}

QString Attach(const QString& package, const QString& output)
{
    QDir().mkpath(QFileInfo(output).absolutePath());
    Pack({QStringLiteral("attach"), QStringLiteral("--template"), kSetupExe, QStringLiteral("--package"),
          package, QStringLiteral("-o"), output});
    return output;
}

const PLATFORM::ResourceEntry* FindAttached(PLATFORM::CExecutableResources& resources, quint32 id)
{
    return resources.Find(CEmbeddedPackage::ResourceType(), id, CEmbeddedPackage::kAttachedLanguage);
}

// Where the package attached to the installer lies: offset and size, both -1
// when it has none.
struct PackageRange {
    qint64 offset = -1;
    qint64 size = -1;
};
PackageRange AttachedPackageRange(const QString& installer)
{
    PLATFORM::CExecutableResources resources;
    if (!resources.Open(installer))
        return {};
    const PLATFORM::ResourceEntry* entry = FindAttached(resources, CEmbeddedPackage::kPackageId);
    return entry ? PackageRange{qint64(entry->offset), qint64(entry->size)} : PackageRange{};
}

void FlipByte(const QString& path, qint64 offset)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(offset));
    char c = 0;
    ASSERT_TRUE(file.getChar(&c));
    ASSERT_TRUE(file.seek(offset));
    ASSERT_TRUE(file.putChar(char(c ^ 0x20)));
}

void SetModified(const QString& path, const QDateTime& when)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
}

// Each case makes the installer to run at <sandbox>/dl/setup (and what lies
// beside it) and says how the run ends.
struct InstallerCase {
    const char* name;
    void (*prepare)(const QString& installer);
    bool succeeds;
};

void PrintTo(const InstallerCase& c, std::ostream* os)
{
    *os << c.name;
}

class InstallerRun : public testing::TestWithParam<InstallerCase> {};

TEST_P(InstallerRun, EndsAsExpectedAndLeavesNoTemporaryFile)
{
    const QString installer = TESTS::SandboxPath(QStringLiteral("dl/setup"));
    QDir().mkpath(TESTS::SandboxPath(QStringLiteral("dl")));
    GetParam().prepare(installer);
    if (HasFatalFailure())
        return;
    const QString setupCab = TESTS::SandboxPath(QStringLiteral("dl/setup.cab"));
    const QByteArray setupCabBefore =
        QFileInfo(setupCab).isFile() ? TESTS::ReadFileBytes(setupCab) : QByteArray();

    // Unattended: a windowed run would wait for a person.
    const ProcessResult r = RunProcess(installer, {QStringLiteral("-silent")});
    if (GetParam().succeeds) {
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.err, QString());
    } else {
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err, kPackageError + u'\n');
    }
    EXPECT_EQ(TESTS::TempFolderEntries(), QStringList());
    // A package beside the installer is only ever read.
    if (!setupCabBefore.isEmpty()) {
        EXPECT_EQ(TESTS::ReadFileBytes(setupCab), setupCabBefore);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallerRun,
    testing::Values(
        InstallerCase{"AttachedPackage", [](const QString& installer) { Attach(SamplePackage(), installer); },
                      true},
        InstallerCase{"MarkerWithSetupCabBeside",
                      [](const QString& installer) {
                          ASSERT_TRUE(QFile::copy(kSetupExe, installer));
                          ASSERT_TRUE(QFile::copy(
                              SamplePackage(), QFileInfo(installer).path() + QStringLiteral("/setup.cab")));
                      },
                      true},
        InstallerCase{"MarkerWithoutSetupCab",
                      [](const QString& installer) { ASSERT_TRUE(QFile::copy(kSetupExe, installer)); },
                      false},
        InstallerCase{"MarkerWithFolderNamedSetupCab",
                      [](const QString& installer) {
                          ASSERT_TRUE(QFile::copy(kSetupExe, installer));
                          QDir().mkpath(QFileInfo(installer).path() + QStringLiteral("/setup.cab"));
                      },
                      false},
        InstallerCase{
            "UpperCaseDigestText",
            [](const QString& installer) {
                const QString package = SamplePackage();
                const QString attached = Attach(package, TESTS::SandboxPath(QStringLiteral("work/inst")));
                std::vector<PLATFORM::ResourceSource> resources(2);
                resources[0] = {
                    CEmbeddedPackage::ResourceType(), CEmbeddedPackage::kPackageId, 0, {}, package};
                resources[1] = {CEmbeddedPackage::ResourceType(),
                                CEmbeddedPackage::kDigestId,
                                0,
                                GetMD5OfFile(package).toUpper().toLatin1(),
                                {}};
                QString error;
                // Attaching again replaces the pair norvex-pack attached.
                ASSERT_TRUE(PLATFORM::CExecutableResources::Attach(attached, resources, installer, &error))
                    << error.toStdString();
            },
            false},
        InstallerCase{"TruncatedDigestText",
                      [](const QString& installer) {
                          const QString package = SamplePackage();
                          std::vector<PLATFORM::ResourceSource> resources(2);
                          resources[0] = {
                              CEmbeddedPackage::ResourceType(), CEmbeddedPackage::kPackageId, 0, {}, package};
                          resources[1] = {CEmbeddedPackage::ResourceType(),
                                          CEmbeddedPackage::kDigestId,
                                          0,
                                          GetMD5OfFile(package).toLower().left(31).toLatin1(),
                                          {}};
                          ASSERT_TRUE(
                              PLATFORM::CExecutableResources::Attach(kSetupExe, resources, installer));
                      },
                      false},
        InstallerCase{"PackageWithoutInstallXml",
                      [](const QString& installer) {
                          Attach(HandMadePackage(QStringLiteral("noxml.cab"),
                                                 {{QStringLiteral("readme.txt"), "hello"}}),
                                 installer);
                      },
                      false},
        InstallerCase{"InstallXmlNotAManifest",
                      [](const QString& installer) {
                          Attach(HandMadePackage(QStringLiteral("badxml.cab"),
                                                 {{QStringLiteral("Install.xml"), "\xEF\xBB\xBFnot <xml"}}),
                                 installer);
                      },
                      false},
        InstallerCase{"InstallXmlFailsItsDigest",
                      [](const QString& installer) {
                          const QString package = TESTS::SandboxPath(QStringLiteral("work/baddigest.cab"));
                          ASSERT_TRUE(QFile::copy(SamplePackage(), package));
                          DATABASE::CppSQLite3DB db;
                          ASSERT_TRUE(db.Open(package, true));
                          db.Execute(
                              QStringLiteral("update files set md5='00000000000000000000000000000000' "
                                             "where name='Install.xml';"));
                          db.Close();
                          Attach(package, installer);
                      },
                      false},
        InstallerCase{"FlippedByteInAttachedPackage",
                      [](const QString& installer) {
                          Attach(SamplePackage(), installer);
                          const PackageRange package = AttachedPackageRange(installer);
                          ASSERT_GE(package.offset, 0);
                          FlipByte(installer, package.offset + package.size / 2);
                      },
                      false},
        InstallerCase{"DamagedDirectoryWithoutSetupCab",
                      [](const QString& installer) {
                          Attach(SamplePackage(), installer);
                          PLATFORM::CExecutableResources resources;
                          ASSERT_TRUE(resources.Open(installer));
                          qint64 end = 0;
                          for (const PLATFORM::ResourceEntry& e : resources.Entries())
                              end = std::max(end, qint64(e.offset + e.size));
                          // The directory follows the last blob.
                          FlipByte(installer, end + 4);
                          ASSERT_FALSE(resources.Open(installer));
                      },
                      false},
        // With the magic in place the installer is damaged: no stand-in beside it.
        InstallerCase{"DamagedDirectoryWithSetupCabBeside",
                      [](const QString& installer) {
                          Attach(SamplePackage(), installer);
                          const qint64 size = QFileInfo(installer).size();
                          FlipByte(installer, size - 48 - 1);  // the directory's last byte
                          ASSERT_TRUE(QFile::copy(
                              SamplePackage(), QFileInfo(installer).path() + QStringLiteral("/setup.cab")));
                      },
                      false},
        InstallerCase{"TruncatedFooterFallsBackToSetupCab",
                      [](const QString& installer) {
                          Attach(SamplePackage(), installer);
                          const qint64 size = QFileInfo(installer).size();
                          ASSERT_TRUE(QFile::resize(installer, size - 10));  // footer cut short
                          ASSERT_TRUE(QFile::copy(
                              SamplePackage(), QFileInfo(installer).path() + QStringLiteral("/setup.cab")));
                      },
                      true}),
    TESTS::CaseName());

TEST(EmbeddedPackage, AttachedPairIsReadBackExactly)
{
    const QString package = SamplePackage();
    const QString installer = Attach(package, TESTS::SandboxPath(QStringLiteral("dl/setup")));
    const CEmbeddedPackage embedded(installer);
    EXPECT_TRUE(embedded.HasAttachedPair());
    EXPECT_EQ(embedded.ReadDigestText(), GetMD5OfFile(package).toLower());
    const QString out = TESTS::SandboxPath(QStringLiteral("out.cab"));
    ASSERT_TRUE(embedded.WritePackageToFile(out));
    EXPECT_EQ(TESTS::ReadFileBytes(out), TESTS::ReadFileBytes(package));
}

TEST(EmbeddedPackage, AttachedPackageIsCheckedAndReadInPlace)
{
    const QString package = SamplePackage();
    const QString installer = Attach(package, TESTS::SandboxPath(QStringLiteral("dl/setup")));
    const QByteArray before = TESTS::ReadFileBytes(installer);
    const PackageRange range = AttachedPackageRange(installer);
    ASSERT_GE(range.offset, 0);

    CInstallEngine engine;
    ASSERT_EQ(CEmbeddedPackage(installer).LocateAndLoad(engine), CEmbeddedPackage::Status::Ok);
    EXPECT_EQ(engine.Manifest.info.prog, QStringLiteral("LabelCloud"));
    EXPECT_EQ(engine.Package.path, installer);
    EXPECT_EQ(engine.Package.offset, range.offset);
    EXPECT_EQ(engine.Package.size, range.size);
    // Nothing was copied out, so nothing is to be deleted at the end.
    EXPECT_FALSE(engine.PackageIsTemporary);
    EXPECT_EQ(TESTS::TempFolderEntries(), QStringList());

    const QString target = TESTS::SandboxPath(QStringLiteral("out/readme.txt"));
    QDir().mkpath(QFileInfo(target).path());
    ASSERT_TRUE(engine.ExtractPackageFile(QStringLiteral("readme.txt"), target, false, nullptr));
    EXPECT_EQ(TESTS::ReadFileBytes(target),
              TESTS::ReadFileBytes(TESTS::FixturePath(QStringLiteral("sample/src/readme.txt"))));
    EXPECT_EQ(TESTS::ReadFileBytes(installer), before);
}

TEST(EmbeddedPackage, AttachedPackageChangedAfterAttachingIsRefused)
{
    const QString installer = Attach(SamplePackage(), TESTS::SandboxPath(QStringLiteral("dl/setup")));
    const PackageRange range = AttachedPackageRange(installer);
    ASSERT_GE(range.offset, 0);
    FlipByte(installer, range.offset + range.size - 10);

    CInstallEngine engine;
    EXPECT_EQ(CEmbeddedPackage(installer).LocateAndLoad(engine), CEmbeddedPackage::Status::DigestMismatch);
    EXPECT_TRUE(engine.Manifest.info.prog.isEmpty());
    EXPECT_FALSE(engine.PackageIsTemporary);
    EXPECT_EQ(TESTS::TempFolderEntries(), QStringList());
}

TEST(PackageDigestPrefetch, IsGivenOnlyForItsPathAndRangeOfTheUnchangedFile)
{
    const QString package = SamplePackage();
    const QString installer = Attach(package, TESTS::SandboxPath(QStringLiteral("dl/setup")));
    const QString copy = TESTS::SandboxPath(QStringLiteral("dl/copy"));
    ASSERT_TRUE(QFile::copy(installer, copy));
    const auto [offset, size] = AttachedPackageRange(installer);
    ASSERT_GE(offset, 0);

    {
        const CPackageDigestPrefetch prefetch(installer);
        EXPECT_EQ(CPackageDigestPrefetch::Lookup(installer, offset, size), GetMD5OfFile(package));
        struct Other {
            const char* name;
            QString path;
            qint64 offset;
            qint64 size;
        };
        for (const Other& other :
             {Other{"other path", copy, offset, size}, Other{"later offset", installer, offset + 1, size},
              Other{"shorter", installer, offset, size - 1},
              Other{"whole file", installer, 0, QFileInfo(installer).size()}})
            EXPECT_EQ(CPackageDigestPrefetch::Lookup(other.path, other.offset, other.size), QString())
                << other.name;
    }
    EXPECT_EQ(CPackageDigestPrefetch::Lookup(installer, offset, size), QString()) << "after its end";

    const CPackageDigestPrefetch prefetch(installer);
    SetModified(installer, QDateTime::fromSecsSinceEpoch(1000000000, Qt::UTC));
    EXPECT_EQ(CPackageDigestPrefetch::Lookup(installer, offset, size), QString()) << "file touched";
}

// A package of many read chunks, asked for at once, while it is being worked
// out and after: however the making, worker and asking threads share the
// chunks, the digest is the package's. Also destroyed unasked mid-way.
TEST(PackageDigestPrefetch, LargePackageDigestWheneverAsked)
{
    QByteArray bytes(6 * 1024 * 1024 + 123, Qt::Uninitialized);
    std::mt19937 random(7);
    for (char& byte : bytes)
        byte = char(random());
    const QString package =
        HandMadePackage(QStringLiteral("large.cab"), {{QStringLiteral("big.bin"), bytes}});
    const QString installer = Attach(package, TESTS::SandboxPath(QStringLiteral("dl/setup")));
    const auto [offset, size] = AttachedPackageRange(installer);
    ASSERT_GT(size, qint64(6) << 20);
    const QString expected = GetMD5OfFile(package);

    for (const int waitMs : {0, 2, 10, 300}) {
        const CPackageDigestPrefetch prefetch(installer);
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        EXPECT_EQ(CPackageDigestPrefetch::Lookup(installer, offset, size), expected)
            << "asked after " << waitMs;
        EXPECT_EQ(CPackageDigestPrefetch::Lookup(installer, offset, size), expected) << "asked again";
    }
    for (const int waitMs : {0, 2}) {
        const CPackageDigestPrefetch prefetch(installer);
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    }
}

// A digest worked out over a flipped byte, the byte then put back: the check
// takes it (and refuses the package) only when the file keeps its identity
// and the prefetch read that same path.
struct PrefetchCase {
    const char* name;
    bool keepModificationTime;
    bool prefetchACopy;
    CEmbeddedPackage::Status status;
};

void PrintTo(const PrefetchCase& c, std::ostream* os)
{
    *os << c.name;
}

class PackageCheckWithPrefetch : public testing::TestWithParam<PrefetchCase> {};

TEST_P(PackageCheckWithPrefetch, TakesThePrefetchedDigestOnlyForTheSameFile)
{
    const QString installer = Attach(SamplePackage(), TESTS::SandboxPath(QStringLiteral("dl/setup")));
    const auto [offset, size] = AttachedPackageRange(installer);
    ASSERT_GE(offset, 0);
    const QDateTime when = QDateTime::fromSecsSinceEpoch(1000000000, Qt::UTC);

    FlipByte(installer, offset + size / 2);
    SetModified(installer, when);
    const QString prefetched =
        GetParam().prefetchACopy ? TESTS::SandboxPath(QStringLiteral("dl/copy")) : installer;
    if (GetParam().prefetchACopy) {
        ASSERT_TRUE(QFile::copy(installer, prefetched));
    }
    const CPackageDigestPrefetch prefetch(prefetched);
    // Waits until the flipped bytes are read.
    ASSERT_FALSE(CPackageDigestPrefetch::Lookup(prefetched, offset, size).isEmpty());
    FlipByte(installer, offset + size / 2);
    if (GetParam().keepModificationTime)
        SetModified(installer, when);

    CInstallEngine engine;
    EXPECT_EQ(CEmbeddedPackage(installer).LocateAndLoad(engine), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(Cases, PackageCheckWithPrefetch,
                         testing::Values(PrefetchCase{"SameFileSameIdentity", true, false,
                                                      CEmbeddedPackage::Status::DigestMismatch},
                                         PrefetchCase{"SameFileModifiedSince", false, false,
                                                      CEmbeddedPackage::Status::Ok},
                                         PrefetchCase{"OtherPath", true, true, CEmbeddedPackage::Status::Ok}),
                         TESTS::CaseName());

TEST(EmbeddedPackage, BareTemplateCarriesTheEmptyPackageAndTheMarker)
{
    const CEmbeddedPackage embedded(kSetupExe);
    EXPECT_FALSE(embedded.HasAttachedPair());
    EXPECT_EQ(embedded.ReadDigestText(), QStringLiteral("5d55615c782d659868ef938cda4e5354"));
    const QString out = TESTS::SandboxPath(QStringLiteral("empty.cab"));
    ASSERT_TRUE(embedded.WritePackageToFile(out));
    EXPECT_EQ(QFileInfo(out).size(), 5120);
    // A real package with the two tables and no rows.
    DATABASE::CppSQLite3DB db;
    ASSERT_TRUE(db.Open(out, true));
    EXPECT_EQ(db.ExecuteScalar(QStringLiteral("select count(*) from files;")), 0);
    EXPECT_EQ(db.ExecuteScalar(QStringLiteral("select count(*) from config;")), 0);
    db.Close();
}

TEST(EmbeddedPackage, AttachingAgainReplacesThePair)
{
    const QString first = SamplePackage();
    const QString second = HandMadePackage(QStringLiteral("other.cab"), {{QStringLiteral("a"), "b"}});
    const QString installer = Attach(first, TESTS::SandboxPath(QStringLiteral("dl/setup")));
    Attach(second, installer);
    PLATFORM::CExecutableResources resources;
    ASSERT_TRUE(resources.Open(installer));
    EXPECT_EQ(resources.Entries().size(), 2u);
    // The template's own bytes, then only the second package.
    EXPECT_EQ(qint64(resources.ExecutableSize()), QFileInfo(kSetupExe).size());
    const PLATFORM::ResourceEntry* package = FindAttached(resources, CEmbeddedPackage::kPackageId);
    ASSERT_NE(package, nullptr);
    EXPECT_EQ(qint64(package->size), QFileInfo(second).size());
    EXPECT_EQ(CEmbeddedPackage(installer).ReadDigestText(), GetMD5OfFile(second).toLower());
    EXPECT_EQ(QFileInfo(installer).permissions() & QFile::ExeOwner, QFile::ExeOwner);
}

// Without -silent the installer opens its window; with nowhere to open it it
// says so instead of failing inside the toolkit.
TEST(InstallerWithoutDisplay, SaysSoAndEndsWithTheStartUpCode)
{
    const QString installer = TESTS::SandboxPath(QStringLiteral("dl/setup"));
    Attach(SamplePackage(), installer);
    const ProcessResult r = RunProcess(
        installer, {},
        {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("setup: no display"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("-silent")));
    EXPECT_EQ(TESTS::TempFolderEntries(), QStringList());
}

}  // namespace
