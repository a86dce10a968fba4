// norvex-pack as people run it: the package format against the reference
// packer (read back with Python's sqlite3), verify, determinism, input errors,
// template packing and attach.
#include "support/AttachDirectly.h"
#include "support/CaseName.h"
#include "support/Process.h"
#include "support/Sandbox.h"

#include "common/MD5Encode.h"
#include "database/CppSQLite3DB.h"
#include "database/PackageResources.h"
#include "platform/ExecutableResources.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

const QString kPackExe = QStringLiteral(NORVEX_PACK_EXE);
const QString kSetupExe = QStringLiteral(NORVEX_SETUP_EXE);

using TESTS::ProcessResult;

// Package times are local times; SOURCE_DATE_EPOCH only where a test sets it.
ProcessResult RunProgram(const QString& program, const QStringList& arguments,
                         const QStringList& environment = {})
{
    return TESTS::RunProcess(
        program, arguments,
        QStringList{QStringLiteral("TZ=UTC"), QStringLiteral("SOURCE_DATE_EPOCH")} + environment);
}

ProcessResult Pack(const QStringList& arguments, const QStringList& environment = {})
{
    return RunProgram(kPackExe, arguments, environment);
}

QString Sample(const QString& rel)
{
    return TESTS::FixturePath(QStringLiteral("sample/") + rel);
}

QString BuildSample(const QString& name, const QStringList& environment = {})
{
    const QString out = TESTS::SandboxPath(name);
    const ProcessResult r =
        Pack({QStringLiteral("build"), QStringLiteral("--manifest"), Sample(QStringLiteral("Install.xml")),
              QStringLiteral("--source"), Sample(QStringLiteral("src")), QStringLiteral("-o"), out},
             environment);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return out;
}

QJsonObject Inspect(const QString& package)
{
    const ProcessResult r = RunProgram(
        QStringLiteral("python3"), {TESTS::TestDataPath(QStringLiteral("pack/inspect_package.py")), package});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

QJsonObject RowNamed(const QJsonObject& package, const QString& name)
{
    for (const QJsonValue& row : package[QStringLiteral("rows")].toArray()) {
        if (row[QStringLiteral("name")].toString() == name)
            return row.toObject();
    }
    ADD_FAILURE() << "no row " << name.toStdString();
    return {};
}

TEST(PackBuild, MatchesTheReferencePackersFormat)
{
    const QString ours = BuildSample(QStringLiteral("ours.cab"));
    const QString reference = TESTS::SandboxPath(QStringLiteral("reference.cab"));
    const ProcessResult ref =
        RunProgram(QStringLiteral("python3"),
                   {TESTS::FixturePath(QStringLiteral("refpack.py")), Sample(QStringLiteral("Install.xml")),
                    Sample(QStringLiteral("src")), reference});
    ASSERT_EQ(ref.exitCode, 0) << ref.err.toStdString();

    const QJsonObject a = Inspect(ours);
    const QJsonObject b = Inspect(reference);
    for (const char* key : {"schema", "page_size", "encoding", "config", "sequence"})
        EXPECT_EQ(a[QLatin1String(key)], b[QLatin1String(key)]) << key;
    EXPECT_EQ(a[QStringLiteral("page_size")].toInt(), 1024);
    EXPECT_EQ(a[QStringLiteral("encoding")].toString(), QStringLiteral("UTF-16le"));

    const QJsonArray rowsA = a[QStringLiteral("rows")].toArray();
    const QJsonArray rowsB = b[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rowsA.size(), rowsB.size());
    for (qsizetype i = 0; i < rowsA.size(); ++i) {
        const QJsonObject x = rowsA[i].toObject();
        const QJsonObject y = rowsB[i].toObject();
        const QString name = x[QStringLiteral("name")].toString();
        SCOPED_TRACE(name.toStdString());
        for (const char* key :
             {"id", "name", "ver", "path", "pack", "action", "length", "md5", "content_md5"})
            EXPECT_EQ(x[QLatin1String(key)], y[QLatin1String(key)]) << key;
        // The reference stamps its manifest row with the current time.
        if (name != u"Install.xml") {
            EXPECT_EQ(x[QStringLiteral("time")], y[QStringLiteral("time")]);
        }
        EXPECT_EQ(x[QStringLiteral("len")], x[QStringLiteral("data_size")]);
        // Compressed only when that is smaller; the stream marked as maximum compression.
        const int mode = x[QStringLiteral("mode")].toInt();
        if (mode == 1) {
            EXPECT_LT(x[QStringLiteral("len")].toInt(), x[QStringLiteral("length")].toInt());
            EXPECT_EQ(x[QStringLiteral("zlib_header")].toString(), QStringLiteral("78da"));
        } else {
            EXPECT_EQ(x[QStringLiteral("len")], x[QStringLiteral("length")]);
        }
    }
    const QJsonObject manifest = RowNamed(a, QStringLiteral("Install.xml"));
    EXPECT_EQ(manifest[QStringLiteral("id")].toInt(), 1);
    EXPECT_EQ(manifest[QStringLiteral("mode")].toInt(), 0);
    EXPECT_EQ(manifest[QStringLiteral("ver")].toString(), QStringLiteral("1.2"));
    // Incompressible: the reference keeps a longer stream, this packer the bytes.
    EXPECT_EQ(RowNamed(a, QStringLiteral("模板.dat"))[QStringLiteral("mode")].toInt(), 0);
    EXPECT_EQ(RowNamed(a, QStringLiteral("readme.txt"))[QStringLiteral("mode")].toInt(), 1);
}

TEST(PackBuild, AddsTheByteOrderMarkWhenMissing)
{
    QByteArray manifest = TESTS::ReadFileBytes(Sample(QStringLiteral("Install.xml")));
    ASSERT_TRUE(manifest.startsWith("\xEF\xBB\xBF"));
    manifest.remove(0, 3);
    const QString path = TESTS::SandboxPath(QStringLiteral("nobom/Install.xml"));
    TESTS::WriteFileBytes(path, manifest);
    const QString out = TESTS::SandboxPath(QStringLiteral("nobom.cab"));
    const ProcessResult r =
        Pack({QStringLiteral("build"), QStringLiteral("--manifest"), path, QStringLiteral("--source"),
              Sample(QStringLiteral("src")), QStringLiteral("-o"), out});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject row = RowNamed(Inspect(out), QStringLiteral("Install.xml"));
    EXPECT_TRUE(row[QStringLiteral("starts_with_bom")].toBool());
    EXPECT_EQ(row[QStringLiteral("length")].toInt(), manifest.size() + 3);
    EXPECT_EQ(row[QStringLiteral("md5")].toString(),
              GetMD5OfBuffer("\xEF\xBB\xBF" + manifest, manifest.size() + 3));
}

TEST(PackBuild, SameInputsGiveIdenticalBytes)
{
    const QByteArray first = TESTS::ReadFileBytes(BuildSample(QStringLiteral("one.cab")));
    const QByteArray second = TESTS::ReadFileBytes(BuildSample(QStringLiteral("two.cab")));
    EXPECT_EQ(first, second);

    const QStringList epoch{QStringLiteral("SOURCE_DATE_EPOCH=86400")};
    const QString third = BuildSample(QStringLiteral("three.cab"), epoch);
    const QString fourth = BuildSample(QStringLiteral("four.cab"), epoch);
    EXPECT_EQ(TESTS::ReadFileBytes(third), TESTS::ReadFileBytes(fourth));
    EXPECT_EQ(RowNamed(Inspect(third), QStringLiteral("Install.xml"))[QStringLiteral("time")].toString(),
              QStringLiteral("1970-01-02 00:00:00"));
}

TEST(PackBuild, ListsEveryMissingSourceInOneErrorAndWritesNothing)
{
    const QString source = TESTS::SandboxPath(QStringLiteral("src"));
    TESTS::WriteFileBytes(source + QStringLiteral("/present.txt"), "here");
    QDir().mkpath(source + QStringLiteral("/folder.txt"));
    TESTS::WriteFileBytes(TESTS::SandboxPath(QStringLiteral("Install.xml")),
                          "<install><version prog=\"P\" ver=\"1\"/><files>"
                          "<file name=\"present.txt\" path=\"$intallpath$\"/>"
                          "<file name=\"a.bin\" path=\"$intallpath$\" pack=\"gone-a.bin\"/>"
                          "<file name=\"folder.txt\" path=\"$intallpath$\"/>"
                          "<file name=\"b.bin\" path=\"$intallpath$\"/>"
                          "</files></install>");
    const QString out = TESTS::SandboxPath(QStringLiteral("out/p.cab"));
    QDir().mkpath(TESTS::SandboxPath(QStringLiteral("out")));
    const ProcessResult r = Pack({QStringLiteral("build"), QStringLiteral("--manifest"),
                                  TESTS::SandboxPath(QStringLiteral("Install.xml")),
                                  QStringLiteral("--source"), source, QStringLiteral("-o"), out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("gone-a.bin")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("folder.txt")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("b.bin")));
    EXPECT_FALSE(r.err.contains(QStringLiteral("present.txt")));
    EXPECT_EQ(QDir(TESTS::SandboxPath(QStringLiteral("out"))).entryList(QDir::Files), QStringList());
}

struct BadManifestCase {
    const char* name;
    QByteArray manifest;
    const char* expected;  // in the one-line error
};

void PrintTo(const BadManifestCase& c, std::ostream* os)
{
    *os << c.name;
}

class PackBuildRefuses : public testing::TestWithParam<BadManifestCase> {};

TEST_P(PackBuildRefuses, WithOneLineAndNoOutput)
{
    const QString source = TESTS::SandboxPath(QStringLiteral("src"));
    TESTS::WriteFileBytes(source + QStringLiteral("/a.txt"), "a");
    TESTS::WriteFileBytes(TESTS::SandboxPath(QStringLiteral("Install.xml")), GetParam().manifest);
    // An earlier package at the output stays as it was.
    const QString out = TESTS::SandboxPath(QStringLiteral("p.cab"));
    TESTS::WriteFileBytes(out, "earlier");
    const ProcessResult r = Pack({QStringLiteral("build"), QStringLiteral("--manifest"),
                                  TESTS::SandboxPath(QStringLiteral("Install.xml")),
                                  QStringLiteral("--source"), source, QStringLiteral("-o"), out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(GetParam().expected))) << r.err.toStdString();
    EXPECT_EQ(TESTS::ReadFileBytes(out), QByteArray("earlier"));
    EXPECT_FALSE(QFile::exists(out + QStringLiteral(".part")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackBuildRefuses,
    testing::Values(
        BadManifestCase{
            "DuplicateNames",
            "<install><files><file name=\"a.txt\"/><file name=\"a.txt\" pack=\"a.txt\"/></files></install>",
            "duplicate file names in the manifest: a.txt"},
        BadManifestCase{"EntryNamedLikeTheManifest",
                        "<install><files><file name=\"Install.xml\" pack=\"a.txt\"/></files></install>",
                        "duplicate file names in the manifest: Install.xml"},
        BadManifestCase{"NameWithFolder",
                        "<install><files><file name=\"../a.txt\" pack=\"a.txt\"/></files></install>",
                        "unusable file names in the manifest: ../a.txt"},
        BadManifestCase{"EmptyName", "<install><files><file pack=\"a.txt\"/></files></install>",
                        "unusable file names in the manifest: (empty)"},
        BadManifestCase{"Utf16Manifest", QByteArray("\xFF\xFE<\0i\0/\0>\0", 10), "is not UTF-8"},
        BadManifestCase{"InvalidUtf8", "<install><version prog=\"\xC3\x28\"/></install>", "is not UTF-8"},
        BadManifestCase{"NotXml", "<install><files>", "cannot be read"}),
    TESTS::CaseName());

// Names from manifests written on Windows: '\' separates folders, as the
// installer reads them, and the source is found by the same path; empty, "."
// and ".." components are refused, and so are two names for one installed path.
struct PackNameCase {
    const char* name;
    const char* names;    // the manifest's file names, separated by '|'
    const char* refused;  // in the one-line error; null when the package is built
};

void PrintTo(const PackNameCase& c, std::ostream* os)
{
    *os << c.name;
}

class PackBuildNames : public testing::TestWithParam<PackNameCase> {};

TEST_P(PackBuildNames, FollowTheInstallersPathRule)
{
    const QString source = TESTS::SandboxPath(QStringLiteral("src"));
    TESTS::WriteFileBytes(source + QStringLiteral("/bin/a.dll"), "library a");
    TESTS::WriteFileBytes(source + QStringLiteral("/bin/sub/b.dll"), "library b");
    TESTS::WriteFileBytes(source + QStringLiteral("/a.dll"), "top a");
    const QStringList names = QString::fromUtf8(GetParam().names).split(u'|');
    QByteArray manifest = "<install><files>";
    for (const QString& name : names)
        manifest += "<file name=\"" + name.toUtf8() + "\" path=\"$intallpath$\\\"/>";
    TESTS::WriteFileBytes(TESTS::SandboxPath(QStringLiteral("Install.xml")), manifest + "</files></install>");

    const QString out = TESTS::SandboxPath(QStringLiteral("p.cab"));
    const ProcessResult r = Pack({QStringLiteral("build"), QStringLiteral("--manifest"),
                                  TESTS::SandboxPath(QStringLiteral("Install.xml")),
                                  QStringLiteral("--source"), source, QStringLiteral("-o"), out});
    if (GetParam().refused) {
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(GetParam().refused))) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
        return;
    }
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject package = Inspect(out);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        // The row keeps the name as written; its bytes come from the path.
        const QByteArray bytes = TESTS::ReadFileBytes(source + u'/' + QString(name).replace(u'\\', u'/'));
        EXPECT_EQ(
            RowNamed(package, name)[QStringLiteral("content_md5")].toString(),
            QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().toUpper()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackBuildNames,
    testing::Values(
        PackNameCase{"Backslash", "bin\\a.dll", nullptr},
        PackNameCase{"TwoBackslashes", "bin\\sub\\b.dll", nullptr},
        PackNameCase{"MixedSeparators", "bin/sub\\b.dll|a.dll", nullptr},
        PackNameCase{"EmptyPart", "bin\\\\a.dll", "unusable file names in the manifest: bin\\\\a.dll"},
        PackNameCase{"LeadingBackslash", "\\a.dll", "unusable file names in the manifest: \\a.dll"},
        PackNameCase{"TrailingBackslash", "bin\\", "unusable file names in the manifest: bin\\"},
        PackNameCase{"DotPart", ".\\a.dll", "unusable file names in the manifest: .\\a.dll"},
        PackNameCase{"DotDotPart", "bin\\..\\a.dll", "unusable file names in the manifest: bin\\..\\a.dll"},
        PackNameCase{"ClimbsOut", "..\\a.dll", "unusable file names in the manifest: ..\\a.dll"},
        PackNameCase{"SamePathTwice", "bin\\a.dll|bin/a.dll",
                     "duplicate file names in the manifest: bin/a.dll"}),
    TESTS::CaseName());

TEST(PackBuild, PackNamingTheTemplatePacksItsOwnBytes)
{
    // The template given is itself an installer: what is attached stays out.
    const QString package = BuildSample(QStringLiteral("p.cab"));
    const QString installer = TESTS::SandboxPath(QStringLiteral("tools/norvexsetup"));
    QDir().mkpath(TESTS::SandboxPath(QStringLiteral("tools")));
    ASSERT_EQ(Pack({QStringLiteral("attach"), QStringLiteral("--template"), kSetupExe,
                    QStringLiteral("--package"), package, QStringLiteral("-o"), installer})
                  .exitCode,
              0);
    const QString source = TESTS::SandboxPath(QStringLiteral("src"));
    TESTS::WriteFileBytes(source + QStringLiteral("/app"), "#!/bin/sh\necho hi\n");
    TESTS::WriteFileBytes(
        TESTS::SandboxPath(QStringLiteral("Install.xml")),
        "<install><version prog=\"P\" ver=\"1\"/><files>"
        "<file name=\"app\" path=\"$intallpath$\"/>"
        "<file name=\"uninstall.exe\" path=\"$intallpath$\" pack=\"norvexsetup\" action=\"setup\"/>"
        "</files></install>");
    const QString out = TESTS::SandboxPath(QStringLiteral("product.cab"));
    const ProcessResult r =
        Pack({QStringLiteral("build"), QStringLiteral("--manifest"),
              TESTS::SandboxPath(QStringLiteral("Install.xml")), QStringLiteral("--source"), source,
              QStringLiteral("--template"), installer, QStringLiteral("-o"), out});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject row = RowNamed(Inspect(out), QStringLiteral("uninstall.exe"));
    EXPECT_EQ(row[QStringLiteral("content_md5")].toString(), GetMD5OfFile(kSetupExe));
    EXPECT_EQ(row[QStringLiteral("pack")].toString(), QStringLiteral("norvexsetup"));
    EXPECT_EQ(row[QStringLiteral("action")].toString(), QStringLiteral("setup"));
}

TEST(PackVerify, PassesOnBuiltAndReferencePackages)
{
    for (const QString& package :
         {BuildSample(QStringLiteral("ours.cab")), Sample(QStringLiteral("sample.cab"))}) {
        const ProcessResult r = Pack({QStringLiteral("verify"), package});
        EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    }
}

struct DamageCase {
    const char* name;
    const char* sql;          // run against a copy of the built sample
    const char* flipRowData;  // or: flip one byte in this row's data
    const char* expected;     // in the problem list
};

void PrintTo(const DamageCase& c, std::ostream* os)
{
    *os << c.name;
}

class PackVerifyCatches : public testing::TestWithParam<DamageCase> {};

TEST_P(PackVerifyCatches, TheDamagedRow)
{
    const QString package = BuildSample(QStringLiteral("p.cab"));
    DATABASE::CppSQLite3DB db;
    ASSERT_TRUE(db.Open(package, true));
    if (GetParam().sql) {
        db.Execute(QString::fromUtf8(GetParam().sql));
    } else {
        const QString name = QString::fromUtf8(GetParam().flipRowData);
        DATABASE::CppSQLite3Query query =
            db.ExecuteQuery(QStringLiteral("select data from files where name=?;"), {name});
        ASSERT_FALSE(query.IsEof());
        int size = 0;
        const unsigned char* bytes = query.GetBlobField(0, size);
        QByteArray data(reinterpret_cast<const char*>(bytes), size);
        query.Finalize();
        data[data.size() / 2] = char(data[data.size() / 2] ^ 0x01);
        db.Execute(QStringLiteral("update files set data=? where name=?;"), {data, name});
    }
    db.Close();
    const ProcessResult r = Pack({QStringLiteral("verify"), package});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.contains(QString::fromUtf8(GetParam().expected))) << r.out.toStdString();
    EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackVerifyCatches,
    testing::Values(DamageCase{"FlippedCompressedByte", nullptr, "readme.txt", "readme.txt:"},
                    DamageCase{"FlippedStoredByte", nullptr, "LabelCloud", "LabelCloud: md5 mismatch"},
                    DamageCase{"LowerCaseMd5", "update files set md5=lower(md5) where name='readme.txt';",
                               nullptr, "readme.txt: md5 text is not upper case"},
                    DamageCase{"WrongLen", "update files set len=len+1 where name='uninstall.exe';", nullptr,
                               "uninstall.exe: len is"},
                    DamageCase{"WrongLength", "update files set length=length-1 where name='uninstall.exe';",
                               nullptr, "uninstall.exe: data does not inflate"},
                    DamageCase{"UnknownMode", "update files set mode=2 where name='readme.txt';", nullptr,
                               "readme.txt: unknown mode 2"},
                    DamageCase{"BadTime", "update files set time='2022-8-26 14:39' where name='readme.txt';",
                               nullptr, "readme.txt: time"},
                    DamageCase{"NoManifestRow", "delete from files where name='Install.xml';", nullptr,
                               "Install.xml: no such row"},
                    DamageCase{"ListedFileMissing", "delete from files where name='readme.txt';", nullptr,
                               "readme.txt: listed in the manifest but has no row"},
                    DamageCase{"DuplicateRow",
                               "insert into files(name,ver,path,pack,action,mode,length,len,time,md5,data) "
                               "select name,ver,path,pack,action,mode,length,len,time,md5,data from files "
                               "where name='LabelCloud';",
                               nullptr, "LabelCloud: more than one row"}),
    TESTS::CaseName());

// Packages whose tables run code of their own: the packer opens them as the
// installer does and refuses them at once instead of running an endless query.
struct HostileCase {
    const char* name;
    QStringList sql;  // run against a copy of the built sample
    bool attached;    // inside an installer rather than alone
    const char* command;
};

void PrintTo(const HostileCase& c, std::ostream* os)
{
    *os << c.name;
}

class PackRefusesHostile : public testing::TestWithParam<HostileCase> {};

TEST_P(PackRefusesHostile, PromptlyWithOneLine)
{
    const HostileCase& c = GetParam();
    const QString package = BuildSample(QStringLiteral("p.cab"));
    DATABASE::CppSQLite3DB db;
    ASSERT_TRUE(db.Open(package, true));
    for (const QString& statement : c.sql)
        db.Execute(statement);
    db.Close();
    QString input = package;
    if (c.attached) {
        // Attached directly: the packer's attach refuses such packages.
        input = TESTS::SandboxPath(QStringLiteral("setup"));
        QString error;
        ASSERT_TRUE(TESTS::AttachDirectly(kSetupExe, package, input, &error)) << error.toStdString();
    }
    // A hang fails here when the time-out ends it, long before CTest's own.
    const ProcessResult r = TESTS::RunProcess(kPackExe, {QString::fromLatin1(c.command), input}, {}, 60000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE((r.out + r.err).contains(QStringLiteral("files or config is not a table")))
        << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
}

const QStringList kEndlessFiles = {
    QStringLiteral("alter table files rename to stored;"),
    QStringLiteral("create view files as with recursive r(n) as (select 1 union all select n+1 from r) "
                   "select s.* from r join stored s on s.name='never';")};
const QStringList kConfigView = {
    QStringLiteral("drop table config;"),
    QStringLiteral("create view config as select 1 as ID, 2 as strValue, 3 as intValue;")};

INSTANTIATE_TEST_SUITE_P(Cases, PackRefusesHostile,
                         testing::Values(HostileCase{"ListEndlessFiles", kEndlessFiles, false, "list"},
                                         HostileCase{"VerifyEndlessFiles", kEndlessFiles, false, "verify"},
                                         HostileCase{"VerifyAttachedEndlessFiles", kEndlessFiles, true,
                                                     "verify"},
                                         HostileCase{"ListAttachedEndlessFiles", kEndlessFiles, true, "list"},
                                         HostileCase{"VerifyConfigView", kConfigView, false, "verify"}),
                         TESTS::CaseName());

TEST(PackAttach, InstallerListsAndVerifiesAndCatchesADamagedPackage)
{
    const QString package = BuildSample(QStringLiteral("p.cab"));
    const QString installer = TESTS::SandboxPath(QStringLiteral("setup"));
    ASSERT_EQ(Pack({QStringLiteral("attach"), QStringLiteral("--template"), kSetupExe,
                    QStringLiteral("--package"), package, QStringLiteral("-o"), installer})
                  .exitCode,
              0);
    EXPECT_EQ(QFileInfo(installer).permissions() & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther),
              QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    const ProcessResult list = Pack({QStringLiteral("list"), installer});
    ASSERT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.out, Pack({QStringLiteral("list"), package}).out);
    EXPECT_TRUE(list.out.startsWith(QStringLiteral("Install.xml\t0\t1749\t1749\t")));
    EXPECT_EQ(Pack({QStringLiteral("verify"), installer}).exitCode, 0);

    // A byte of the package changed after attaching: every row may still read
    // back, but the attached digest text no longer matches.
    PLATFORM::CExecutableResources resources;
    ASSERT_TRUE(resources.Open(installer));
    const PLATFORM::ResourceEntry* entry = resources.Find(QStringLiteral("RT_INSTALL"), 131, 0);
    ASSERT_NE(entry, nullptr);
    QFile file(installer);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(qint64(entry->offset) + 100));  // inside the database header
    ASSERT_TRUE(file.putChar('\x7F'));
    file.close();
    const ProcessResult verify = Pack({QStringLiteral("verify"), installer});
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_TRUE(verify.out.contains(QStringLiteral("attached digest text"))) << verify.out.toStdString();
}

TEST(PackAttach, RefusesWhatIsNoPackage)
{
    const QString notPackage = TESTS::SandboxPath(QStringLiteral("notes.txt"));
    TESTS::WriteFileBytes(notPackage, "just text, no database");
    const QString out = TESTS::SandboxPath(QStringLiteral("setup"));
    const ProcessResult r = Pack({QStringLiteral("attach"), QStringLiteral("--template"), kSetupExe,
                                  QStringLiteral("--package"), notPackage, QStringLiteral("-o"), out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

struct UsageCase {
    const char* name;
    QStringList arguments;
    int exitCode;
};

void PrintTo(const UsageCase& c, std::ostream* os)
{
    *os << c.name;
}

class PackUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(PackUsage, ExitCode)
{
    const ProcessResult r = Pack(GetParam().arguments);
    EXPECT_EQ(r.exitCode, GetParam().exitCode) << r.err.toStdString();
    if (GetParam().exitCode == 0) {
        EXPECT_TRUE(r.out.startsWith(QStringLiteral("usage: norvex-pack"))) << r.out.toStdString();
    } else if (!GetParam().arguments.isEmpty()) {
        EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackUsage,
    testing::Values(UsageCase{"NoCommand", {}, 2}, UsageCase{"Help", {"--help"}, 0},
                    UsageCase{"UnknownCommand", {"frob"}, 2}, UsageCase{"BuildHelp", {"build", "--help"}, 0},
                    UsageCase{"AttachHelp", {"attach", "--help"}, 0},
                    UsageCase{"ListHelp", {"list", "--help"}, 0},
                    UsageCase{"VerifyHelp", {"verify", "--help"}, 0},
                    UsageCase{"BuildMissingOptions", {"build", "--manifest", "x"}, 2},
                    UsageCase{"BuildUnknownOption", {"build", "--fast"}, 2},
                    UsageCase{"BuildLevelOutOfRange",
                              {"build", "--manifest", "m", "--source", "/", "--level", "10", "-o", "x"},
                              2},
                    UsageCase{"ListWithoutFile", {"list"}, 2},
                    UsageCase{"ListMissingFile", {"list", "/nonexistent/x.cab"}, 1},
                    UsageCase{"VerifyNotAPackage", {"verify", "/proc/self/status"}, 1}),
    TESTS::CaseName());

}  // namespace
